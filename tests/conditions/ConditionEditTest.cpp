#include "conditions/ConditionEdit.h"

#include "ConditionFixture.h"

#include <string>
#include <tuple>
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

using Calls = std::vector<std::string>;

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

// A modifier condition of an item (with a running-"gimp" condition beside it) goes from one mask to another
// while the keys `held` are held: what the edit answers and asks of the item.
TEST_F(ConditionEditTest, TheOutcomeFollowsTheItemAndTheConditionsOldAndNewResult) {
    using O = KVConditionEditOutcome;
    constexpr uint32_t C = KV_MOD_CTRL, A = KV_MOD_ALT, S = KV_MOD_SHIFT, W = KV_MOD_WIN;
    struct Case {
        const char* what;
        bool enabled, active, shown, deactivationChanges, onlyApp;
        uint32_t held, from, to;
        O outcome;
        Calls calls;
    } cases[] = {
        {"disabled: takes the value only", false, false, false, true, false, C, S, C, O::ItemDisabled, {}},
        {"true to true", true, false, false, true, false, C | A, C, A, O::ResultKept, {}},
        {"becoming true", true, false, false, true, false, C, A, C, O::ReEvaluated, {"re-evaluate"}},
        {"active item", true, true, false, true, false, S, S, W, O::Deactivated, {"deactivate", "recompose"}},
        {"no active layer changed", true, true, false, false, false, S, S, W, O::Deactivated, {"deactivate"}},
        {"false, inactive", true, false, false, true, false, S, S, W, O::LeftAsIs, {}},
        {"false, shown for editing", true, true, true, true, false, S, S, W, O::LeftAsIs, {}},
        // The edited condition turned false, but the item's own list does not hold it and still holds.
        {"not the item's", true, true, false, true, true, S, S, W, O::LeftAsIs, {}},
    };
    applications.setRunning({"gimp"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::tie(host.enabled, host.active, host.shown, host.deactivationChanges) =
            std::tuple(c.enabled, c.active, c.shown, c.deactivationChanges);
        host.calls.clear();
        host.conditions = c.onlyApp ? KVConditionList{app} : KVConditionList{shift, app};
        hook.setModifiersState(int32_t(c.held));
        shift->SetMask(c.from);
        EXPECT_EQ(setMask(c.to), c.outcome);
        EXPECT_EQ(shift->Mask(), c.to);
        EXPECT_EQ(host.calls, c.calls);
        EXPECT_EQ(host.active, c.active && c.outcome != O::Deactivated);
    }
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
