#include "LayersFixture.h"
#include "layers/LayerEditing.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kCtrl = 2;
constexpr uint32_t kShift = 4;
constexpr uint32_t kNum = 64;
constexpr uint32_t kGerman = 0x04070407;

struct ConditionEditingTest : ::testing::Test, LayersStackFixture {
    // user_layers {work, games}; started with the keyboard there, Ctrl held, German in use.
    void SetUp() override {
        environment->layouts = &layouts;
        work = makeLayer("work");
        games = makeLayer("games");
        user = makeGroup(KVLayerCake::kUserLayersId, {work, games});
        cake.items().add(user);
        cake.setUpUserLayers("/nonexistent");
        cake.setUpSystemLayers("/nonexistent");
        user->items().remove(user->children().find(KVLayerCake::kDefaultButtonsId));
        keyboard.setOpen(true);
        hook.setModifiersState(kCtrl);
        layouts.setCurrent(kGerman);
        controller.Start();
    }
    KVLayerEditing& edit() { return controller.Editing(); }
    bool active(const KVPtr<KVLayer>& layer) const {
        return layer->isActive() && controller.ActiveLayers().contains(layer.get());
    }

    KVFakeLayoutSource layouts;
    KVPtr<KVLayer> work, games;
    KVPtr<KVLayersGroup> user;
};

TEST_F(ConditionEditingTest, AddingAndRemovingFollowActivationAndUndoPutsTheConditionBackInPlace) {
    auto ctrl = modifierCondition(kCtrl);
    auto shift = modifierCondition(kShift);
    ASSERT_TRUE(edit().AddCondition(work, ctrl));
    EXPECT_TRUE(active(work)) << "Ctrl is held";
    ASSERT_TRUE(edit().AddCondition(work, shift));
    EXPECT_FALSE(active(work)) << "Shift is not held";
    EXPECT_FALSE(edit().AddCondition(work, shift)) << "already there";
    EXPECT_EQ(edit().UndoText(), "Add modifier condition to work");

    ASSERT_TRUE(edit().RemoveCondition(work, ctrl));
    EXPECT_EQ(work->conditions(), (KVConditionList{shift}));
    EXPECT_FALSE(edit().RemoveCondition(work, ctrl)) << "no longer there";
    EXPECT_FALSE(edit().RemoveCondition(games, shift)) << "a condition of another item";

    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->conditions(), (KVConditionList{ctrl, shift})) << "back in its old place";
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->conditions(), (KVConditionList{ctrl}));
    EXPECT_TRUE(active(work));
    ASSERT_TRUE(edit().Redo());
    EXPECT_FALSE(active(work));
    ASSERT_TRUE(edit().Redo());
    EXPECT_EQ(work->conditions(), (KVConditionList{shift}));
    EXPECT_FALSE(active(work));
    ASSERT_TRUE(edit().Undo());
    ASSERT_TRUE(edit().Undo());
    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(work->conditions().empty());
    EXPECT_TRUE(active(work));
}

TEST_F(ConditionEditingTest, EditsSwitchTheItemBothWaysAndUndoSwitchesItBack) {
    auto modifier = modifierCondition(kShift);
    ASSERT_TRUE(edit().AddCondition(work, modifier));
    ASSERT_FALSE(active(work));

    // False to true: the whole cake is evaluated again.
    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kCtrl));
    EXPECT_EQ(modifier->Mask(), kCtrl);
    EXPECT_TRUE(active(work));
    EXPECT_FALSE(edit().SetConditionMask(work, modifier, kCtrl | 0x100))
        << "bits without a letter are no change";
    // True to false: the item goes off.
    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kCtrl | kNum));
    EXPECT_FALSE(active(work));

    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(modifier->Mask(), kCtrl);
    EXPECT_TRUE(active(work));
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(modifier->Mask(), kShift);
    EXPECT_FALSE(active(work));
    ASSERT_TRUE(edit().Redo());
    EXPECT_TRUE(active(work));
}

TEST_F(ConditionEditingTest, UndoReachesTheRightItemWhateverTheEditorEditsNow) {
    auto modifier = modifierCondition(kCtrl);
    ASSERT_TRUE(edit().AddCondition(work, modifier));
    controller.SetEditedItem(games);
    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kShift));
    EXPECT_FALSE(active(work));
    EXPECT_TRUE(active(games)) << "the edited item is not the one the condition belongs to";
    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(active(work));
}

TEST_F(ConditionEditingTest, DisabledItemsAndTheSystemLayersAreLeftAlone) {
    auto modifier = modifierCondition(kShift);
    ASSERT_TRUE(edit().AddCondition(work, modifier));
    ASSERT_TRUE(edit().Disable(work));
    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kCtrl));
    EXPECT_FALSE(work->isActive()) << "a disabled item stays off";
    ASSERT_TRUE(edit().Enable(work));
    EXPECT_TRUE(active(work));

    const auto system = cake.systemLayers();
    ASSERT_TRUE(system && !system->children().empty());
    const auto systemChild = system->children().items().front();
    EXPECT_FALSE(edit().AddCondition(systemChild, modifierCondition(kCtrl)));
    EXPECT_FALSE(edit().AddCondition(makeLayer("stray"), modifierCondition(kCtrl))) << "not in the tree";
    EXPECT_FALSE(edit().AddCondition(work, nullptr));
}

} // namespace
