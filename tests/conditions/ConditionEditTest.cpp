#include "conditions/ConditionEdit.h"

#include "ConditionFixture.h"

#include <string>
#include <vector>

using namespace corvane;

namespace {

// A layers controller reduced to one item: records what the edit asked of it.
struct FakeEditHost : IKVConditionEditHost {
    bool enabled = true;
    bool active = false;
    bool shown = false;
    bool deactivationChanges = true;
    KVConditionList conditions;
    std::vector<std::string> calls;

    bool IsItemEnabled() const override { return enabled; }
    bool IsItemActive() const override { return active; }
    bool IsItemShownForEditing() const override { return shown; }
    const KVConditionList& ItemConditions() const override { return conditions; }
    void ReEvaluate() override { calls.push_back("re-evaluate"); }
    bool DeactivateItem() override {
        calls.push_back("deactivate");
        active = false;
        return deactivationChanges;
    }
    void Recompose() override { calls.push_back("recompose"); }
};

struct ConditionEditTest : ConditionFixture {
    FakeEditHost host;
    KVPtr<KVModifierCondition> shift = std::make_shared<KVModifierCondition>(environment, KV_MOD_SHIFT);
    KVPtr<KVApplicationCondition> app = std::make_shared<KVApplicationCondition>(environment, "gimp", false);

    ConditionEditTest() { host.conditions = {shift, app}; }

    KVConditionEditOutcome setMask(uint32_t mask) {
        KVModifierMaskOperation operation(shift, &KVModifierCondition::SetMask, mask);
        return applyConditionEdit(host, *shift, operation);
    }
};

using Calls = std::vector<std::string>;

TEST_F(ConditionEditTest, DisabledOrUnchangedItemsOnlyTakeTheNewValueAndBecomingTrueReEvaluates) {
    host.enabled = false;
    hook.setModifiersState(KV_MOD_CTRL);
    EXPECT_EQ(setMask(KV_MOD_CTRL), KVConditionEditOutcome::ItemDisabled);
    EXPECT_EQ(shift->Mask(), uint32_t(KV_MOD_CTRL));
    host.enabled = true;
    hook.setModifiersState(KV_MOD_CTRL | KV_MOD_ALT);
    EXPECT_EQ(setMask(KV_MOD_ALT), KVConditionEditOutcome::ResultKept); // true to true
    EXPECT_EQ(shift->Mask(), uint32_t(KV_MOD_ALT));
    EXPECT_TRUE(host.calls.empty());

    hook.setModifiersState(KV_MOD_CTRL);
    EXPECT_EQ(setMask(KV_MOD_CTRL), KVConditionEditOutcome::ReEvaluated);
    EXPECT_EQ(host.calls, Calls{"re-evaluate"});
}

TEST_F(ConditionEditTest, BecomingFalseDeactivatesAnActiveItemAndRecomposesOnChange) {
    applications.setRunning({"gimp"});
    hook.setModifiersState(KV_MOD_SHIFT);
    host.active = true;
    EXPECT_EQ(setMask(KV_MOD_WIN), KVConditionEditOutcome::Deactivated);
    EXPECT_EQ(host.calls, (Calls{"deactivate", "recompose"}));

    // A deactivation that changes no active layer needs no recomposition.
    host.calls.clear();
    host.active = true;
    host.deactivationChanges = false;
    shift->SetMask(KV_MOD_SHIFT);
    EXPECT_EQ(setMask(KV_MOD_WIN), KVConditionEditOutcome::Deactivated);
    EXPECT_EQ(host.calls, Calls{"deactivate"});
}

TEST_F(ConditionEditTest, BecomingFalseLeavesInactiveShownOrStillQualifyingItemsAlone) {
    applications.setRunning({"gimp"});
    hook.setModifiersState(KV_MOD_SHIFT);
    host.active = false;
    EXPECT_EQ(setMask(KV_MOD_WIN), KVConditionEditOutcome::LeftAsIs);

    shift->SetMask(KV_MOD_SHIFT);
    host.active = true;
    host.shown = true;
    EXPECT_EQ(setMask(KV_MOD_WIN), KVConditionEditOutcome::LeftAsIs);
    EXPECT_TRUE(host.active);

    // The edited condition turned false, but the item's own list does not hold it and still holds.
    shift->SetMask(KV_MOD_SHIFT);
    host.shown = false;
    host.conditions = {app};
    EXPECT_EQ(setMask(KV_MOD_WIN), KVConditionEditOutcome::LeftAsIs);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ConditionEditTest, ApplicationAndLayoutEditsGoThroughTheSameSteps) {
    applications.setRunning({"gimp", "inkscape"});
    applications.setForeground("gimp");
    host.active = true;
    KVForegroundOperation foreground(app, &KVApplicationCondition::SetForeground, true);
    EXPECT_EQ(applyConditionEdit(host, *app, foreground), KVConditionEditOutcome::ResultKept);
    KVApplicationIdOperation rename(app, &KVApplicationCondition::SetApplicationId, "Inkscape");
    host.conditions = {app};
    EXPECT_EQ(applyConditionEdit(host, *app, rename), KVConditionEditOutcome::Deactivated);
    EXPECT_EQ(app->ApplicationId(), "Inkscape");

    auto layout = std::make_shared<KVSysLayoutCondition>(environment, 0x409);
    layouts.setCurrent(0x407);
    KVLayoutOperation toGerman(layout, &KVSysLayoutCondition::SetLayout, 0x407);
    host.calls.clear();
    EXPECT_EQ(applyConditionEdit(host, *layout, toGerman), KVConditionEditOutcome::ReEvaluated);
    EXPECT_EQ(host.calls, Calls{"re-evaluate"});
}

} // namespace
