#include "layers/LayerEditing.h"

#include "LayersFixture.h"
#include "images/KVTextRenderer.h"
#include "layers/LabelProperties.h"
#include "store/PropertyNode.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace corvane::layers;

namespace {

constexpr uint32_t kCtrl = 2, kShift = 4, kNum = 64;

// Whole-profile effects of each edit and its undo are checked byte for byte in the profile tests; these
// check what the running stack does: activation, the keyboard's bindings, plug-ins started and stopped.
struct LayerEditingTest : ::testing::Test, LayersStackFixture {
    LayerEditingTest() { dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &LayerEditingTest::onKeysEdited); }
    void onKeysEdited() { ++keysEdited; }

    // user_layers {work, games}, then system_layers {control_buttons}; started with the keyboard there and
    // Ctrl held.
    void SetUp() override {
        cake.items().add(user);
        cake.setUpUserLayers("/nonexistent");
        cake.setUpSystemLayers("/nonexistent");
        user->items().remove(user->children().find(KVLayerCake::kDefaultButtonsId));
        keyboard.setOpen(true);
        hook.setModifiersState(kCtrl);
        controller.Start();
    }
    KVLayerEditing& edit() { return controller.Editing(); }
    bool active(const KVPtr<KVLayer>& layer) const {
        return layer->isActive() && controller.ActiveLayers().contains(layer.get());
    }

    static constexpr unsigned kEscape = 0, kF1 = 1, kF2 = 2;
    KVPtr<KVLayer> work = makeLayer("work"), games = makeLayer("games");
    KVPtr<KVLayersGroup> user = makeGroup(KVLayerCake::kUserLayersId, {work, games});
    int keysEdited = 0;
};

// New items go where asked; deleting a group stops everything below it, even what the editor shows; undo
// and redo put back the very same items, running again.
TEST_F(LayerEditingTest, NewAndDeletedItemsComeAndGoWithTheirPlugIns) {
    games->binding(kEscape).image = solidPicture(2);
    auto top = edit().NewLayer(nullptr, nullptr);
    ASSERT_TRUE(top);
    // First in the cake, its bindings win over every other layer.
    ASSERT_TRUE(edit().SetKeyImage(top, kEscape, solidPicture(9)));
    EXPECT_EQ(controller.Binding(kEscape), &top->binding(kEscape));

    // A neighbour from another list puts the group at the end of the list it was asked into.
    auto group = edit().NewGroup(user, cake.systemLayers());
    ASSERT_TRUE(group);
    EXPECT_EQ(user->children().items().back(), group);
    auto inside = edit().NewLayer(group, nullptr);
    auto second = edit().NewLayer(group, inside);
    const std::vector<KVPtr<KVLayersItem>> both{inside, second};
    EXPECT_EQ(group->children().items(), both);
    plugins.install("clock");
    ASSERT_TRUE(edit().SetViewPlugin(inside, kF1, "clock", "analogue"));
    const auto view = inside->binding(kF1).viewPlugin;
    controller.ShowForEditing(inside);
    controller.SetEditedItem(inside);
    ASSERT_TRUE(view && view->IsDrawing());

    ASSERT_TRUE(edit().Delete(group));
    EXPECT_FALSE(inside->isActive());
    EXPECT_TRUE(controller.ShownItems().empty());
    EXPECT_FALSE(controller.EditedItem());
    EXPECT_FALSE(view->HasObject());
    EXPECT_EQ(controller.DisplayBinding(kF1), nullptr) << "a deleted layer must leave the keyboard";
    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(view->IsDrawing());
    EXPECT_GT(keysEdited, 0) << "the tree hears of changes it did not make";
    ASSERT_TRUE(edit().Undo() && edit().Undo() && edit().Undo());
    EXPECT_TRUE(group->children().empty());
    ASSERT_TRUE(edit().Redo() && edit().Redo());
    EXPECT_EQ(group->children().items(), both);
    while (edit().Undo())
        ;
    EXPECT_EQ(controller.Binding(kEscape), &games->binding(kEscape));
}

TEST_F(LayerEditingTest, BuiltInItemsAndPlacesOutsideTheUsersTreeAreRefused) {
    const auto system = cake.systemLayers();
    for (const KVPtr<KVLayersItem>& item : {KVPtr<KVLayersItem>(user), KVPtr<KVLayersItem>(system),
                                            KVPtr<KVLayersItem>(cake.controlButtons())}) {
        EXPECT_FALSE(edit().Delete(item)) << item->identifier();
        EXPECT_FALSE(edit().Rename(item, "Mine")) << item->identifier();
        EXPECT_FALSE(edit().Move(item, nullptr, nullptr)) << item->identifier();
    }
    EXPECT_FALSE(edit().Rename(work, "  ")) << "an empty name is refused";
    EXPECT_FALSE(edit().NewLayer(work, nullptr));
    EXPECT_FALSE(edit().NewLayer(system, nullptr));
    EXPECT_FALSE(edit().Move(work, system, nullptr));
    EXPECT_FALSE(edit().Delete(makeLayer("not-in-the-cake")));
    EXPECT_FALSE(edit().AddCondition(system->children().items().front(), modifierCondition(kCtrl)));
    EXPECT_FALSE(edit().AddCondition(makeLayer("stray"), modifierCondition(kCtrl)));
    EXPECT_FALSE(edit().CanUndo());
}

TEST_F(LayerEditingTest, MovingChangesPriorityAndFollowsTheGroupsConditions) {
    work->binding(kEscape).image = solidPicture(1);
    games->binding(kEscape).image = solidPicture(2);
    // Nothing comes on or goes off, yet the order of the stack changed: the keyboard must follow.
    ASSERT_TRUE(edit().Move(work, user, games));
    EXPECT_EQ(controller.Binding(kEscape), &games->binding(kEscape));

    // Into a group whose condition fails: the layer goes off.
    auto shiftOnly = makeGroup("shift-only");
    shiftOnly->conditions().push_back(modifierCondition(kShift));
    user->items().add(shiftOnly);
    controller.ReEvaluate();
    ASSERT_TRUE(edit().Move(games, shiftOnly, nullptr));
    EXPECT_FALSE(games->isActive());
    EXPECT_EQ(controller.Binding(kEscape), &work->binding(kEscape));
    // A group never goes inside itself or below itself.
    EXPECT_FALSE(edit().Move(shiftOnly, shiftOnly, nullptr));
    EXPECT_FALSE(edit().Move(shiftOnly, edit().NewGroup(shiftOnly, nullptr), nullptr));
    while (edit().Undo())
        ;
    EXPECT_TRUE(games->isActive());
}

TEST_F(LayerEditingTest, EnableAndDisableKeepTheStackConsistent) {
    work->binding(kEscape).image = solidPicture(1);
    // A layer the editor shows stays on the keyboard while disabled, until the editor leaves it.
    controller.ShowForEditing(work);
    ASSERT_TRUE(edit().Disable(work));
    EXPECT_EQ(controller.Binding(kEscape), &work->binding(kEscape));
    controller.StopShowing(work);
    EXPECT_EQ(controller.Binding(kEscape), nullptr);

    // Enabling a layer inside a group that is off does not bring it on behind the group's back.
    auto off = makeGroup("off", {makeLayer("inner")});
    off->conditions().push_back(modifierCondition(kShift));
    user->items().insert(0, off);
    controller.ReEvaluate();
    auto inner = off->children().items().front();
    ASSERT_TRUE(edit().Disable(inner) && edit().Enable(inner));
    EXPECT_FALSE(inner->isActive());
}

TEST_F(LayerEditingTest, PasteAndSwapGiveEachKeyItsOwnPictureAndPlugIns) {
    auto& source = games->binding(kEscape);
    source.image = solidPicture(7);
    source.keystroke = "Esc";
    source.properties = KVPropertyNode::create("Properties");
    source.properties->addChild("FontFace", "Tahoma");
    bindAction(*games, kEscape, "launcher")->Activate();
    auto oldTargetAction = bindAction(*work, kF1, "old");
    oldTargetAction->Activate();
    keysChanged.clear();

    ASSERT_TRUE(edit().CopyBinding(source, work, kF1));
    const auto& pasted = work->binding(kF1);
    ASSERT_TRUE(pasted.image && pasted.actionPlugin);
    EXPECT_NE(pasted.image, source.image);
    EXPECT_TRUE(pasted.image->isChanged()) << "the target layer writes its own file";
    EXPECT_NE(pasted.actionPlugin, source.actionPlugin);
    EXPECT_EQ(pasted.actionPlugin->KeyIndex(), kF1);
    EXPECT_TRUE(pasted.actionPlugin->IsActive()) << "the target layer is active";
    EXPECT_FALSE(oldTargetAction->IsActive());
    EXPECT_NE(pasted.properties, source.properties);
    EXPECT_NE(std::ranges::find(keysChanged, kF1), keysChanged.end());
    // A partial paste takes only the chosen fields.
    work->binding(kF2).image = solidPicture(3);
    ASSERT_TRUE(edit().CopyBinding(source, work, kF2, KV_FIELD_KEYSTROKE));
    EXPECT_TRUE(work->binding(kF2).image->samePixels(*solidPicture(3)));
    EXPECT_EQ(work->binding(kF2).keystroke, "Esc");

    // The swap moves the pasted action to F2, under its new key, still running.
    const auto f1Picture = work->binding(kF1).image;
    const auto f1Action = work->binding(kF1).actionPlugin;
    ASSERT_TRUE(edit().SwapBindings(work, kF1, work, kF2));
    EXPECT_TRUE(work->binding(kF2).image->samePixels(*f1Picture));
    ASSERT_TRUE(work->binding(kF2).actionPlugin);
    EXPECT_EQ(work->binding(kF2).actionPlugin->KeyIndex(), kF2);
    EXPECT_TRUE(work->binding(kF2).actionPlugin->IsActive());
    EXPECT_FALSE(f1Action->IsActive());

    // Undo brings back the very binding that was there, its plug-in running again.
    ASSERT_TRUE(edit().Undo() && edit().Undo() && edit().Undo());
    EXPECT_EQ(work->binding(kF1).actionPlugin, oldTargetAction);
    EXPECT_TRUE(oldTargetAction->IsActive());
}

TEST_F(LayerEditingTest, LabelStylesChangeCaptionsOfSeveralKeysAsOneStepAndKeepOtherProperties) {
    KVTextRenderer renderer;
    const unsigned keyA = keyIndex("A"), keyB = keyIndex("B");
    for (const auto& [key, text] : {std::pair{keyA, "a"}, std::pair{keyB, "b"}}) {
        work->binding(key).keystroke = text;
        work->binding(key).image = renderer.RenderPlainLabel(text);
    }
    const auto propertiesB = work->binding(keyB).properties = KVPropertyNode::create("Properties");
    propertiesB->addChild("Note", "kept");
    work->binding(kF1).image = solidPicture(3); // a picture, no caption: not a label
    const auto plainA = work->binding(keyA).image;

    KVLabelStyle style;
    style.bold = true;
    style.color = 0x0000FF;
    const unsigned keys[] = {keyA, keyB, kF1};
    ASSERT_TRUE(edit().SetLabelProperties(work, keys, style, renderer));
    for (const unsigned key : {keyA, keyB}) {
        const auto& binding = work->binding(key);
        EXPECT_EQ(labelStyleOf(binding).color, style.color);
        EXPECT_TRUE(binding.image->isChanged()) << "the next save stores the new picture";
        EXPECT_TRUE(binding.image->samePixels(*renderer.RenderLabel(binding.keystroke, style)));
    }
    EXPECT_EQ(work->binding(keyB).properties->childValue("Note"), "kept");
    EXPECT_FALSE(work->binding(kF1).properties);
    // One step back restores every key, the very pictures and properties it had.
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->binding(keyA).image, plainA);
    EXPECT_EQ(work->binding(keyB).properties, propertiesB);
    EXPECT_FALSE(edit().CanUndo());
    EXPECT_FALSE(edit().SetLabelProperties(work, keys, std::nullopt, renderer)) << "already plain, no step";
}

// Each condition edit and its undo switch the item it belongs to, whichever item the editor edits now.
TEST_F(LayerEditingTest, ConditionEditsSwitchTheItemBothWaysAndUndoPutsThemBackInPlace) {
    auto ctrl = modifierCondition(kCtrl);
    auto shift = modifierCondition(kShift);
    controller.SetEditedItem(games);
    ASSERT_TRUE(edit().AddCondition(work, ctrl));
    EXPECT_TRUE(active(work)) << "Ctrl is held";
    ASSERT_TRUE(edit().AddCondition(work, shift));
    EXPECT_FALSE(active(work)) << "Shift is not held";
    ASSERT_TRUE(edit().RemoveCondition(work, ctrl));
    EXPECT_FALSE(edit().RemoveCondition(games, shift)) << "a condition of another item";
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->conditions(), (KVConditionList{ctrl, shift})) << "back in its old place";

    ASSERT_TRUE(edit().SetConditionMask(work, shift, kCtrl));
    EXPECT_TRUE(active(work));
    EXPECT_FALSE(edit().SetConditionMask(work, shift, kCtrl | 0x100))
        << "bits without a letter are no change";
    ASSERT_TRUE(edit().SetConditionMask(work, shift, kCtrl | kNum));
    EXPECT_FALSE(active(work));
    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(active(work));

    // A disabled item stays off whatever its conditions say.
    ASSERT_TRUE(edit().Disable(work));
    ASSERT_TRUE(edit().SetConditionMask(work, shift, kShift));
    ASSERT_TRUE(edit().SetConditionMask(work, shift, kCtrl));
    EXPECT_FALSE(work->isActive());
    while (edit().Undo())
        ;
    EXPECT_TRUE(work->conditions().empty());
    EXPECT_TRUE(active(work));
}

} // namespace
