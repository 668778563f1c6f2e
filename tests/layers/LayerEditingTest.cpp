#include "layers/LayerEditing.h"

#include "LayersFixture.h"
#include "images/KVTextRenderer.h"
#include "layers/LabelProperties.h"
#include "store/PropertyNode.h"

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
    bool changed(unsigned key) const {
        return std::find(keysChanged.begin(), keysChanged.end(), key) != keysChanged.end();
    }

    static constexpr unsigned kEscape = 0, kF1 = 1, kF2 = 2;
    KVPtr<KVLayer> work = makeLayer("work"), games = makeLayer("games");
    KVPtr<KVLayersGroup> user = makeGroup(KVLayerCake::kUserLayersId, {work, games});
    int keysEdited = 0;
};

TEST_F(LayerEditingTest, NewItemsGoAfterTheirNeighbourAndUndoAndRedoKeepTheSameItem) {
    games->binding(kEscape).image = solidPicture(2);
    auto top = edit().NewLayer(nullptr, nullptr);
    ASSERT_TRUE(top);
    EXPECT_EQ(cake.items().items().front(), top) << "no neighbour: first in the cake";
    // First in the cake, its bindings win over every other layer.
    ASSERT_TRUE(edit().SetKeyImage(top, kEscape, solidPicture(9)));
    EXPECT_EQ(controller.Binding(kEscape), &top->binding(kEscape));

    // A neighbour from another list puts the group at the end of the list it was asked into.
    auto group = edit().NewGroup(user, cake.systemLayers());
    ASSERT_TRUE(group);
    EXPECT_EQ(user->children().items().back(), group);
    EXPECT_TRUE(group->isActive());
    auto inside = edit().NewLayer(group, nullptr);
    auto second = edit().NewLayer(group, inside);
    const std::vector<KVPtr<KVLayersItem>> both{inside, second};
    EXPECT_EQ(group->children().items(), both);

    // Undo takes them out in reverse, redo puts the very same items back.
    const int changesBefore = activeLayersChanged;
    ASSERT_TRUE(edit().Undo() && edit().Undo());
    EXPECT_TRUE(group->children().empty());
    EXPECT_GT(activeLayersChanged, changesBefore);
    EXPECT_GT(keysEdited, 0) << "the tree hears of changes it did not make";
    ASSERT_TRUE(edit().Redo() && edit().Redo());
    EXPECT_EQ(group->children().items(), both);
    EXPECT_TRUE(second->isActive());

    while (edit().Undo())
        ;
    EXPECT_FALSE(controller.ActiveLayers().contains(top.get()));
    EXPECT_EQ(controller.Binding(kEscape), &games->binding(kEscape));
}

TEST_F(LayerEditingTest, DeletingAGroupStopsEverythingBelowItEvenWhatTheEditorShows) {
    auto shown = makeLayer("shown");
    shown->binding(kEscape).image = solidPicture(5);
    auto view = bindView(*shown, kF1, "clock");
    auto group = makeGroup("group", {shown});
    user->items().insert(0, group);
    controller.ReEvaluate();
    controller.ShowForEditing(shown);
    controller.SetEditedItem(shown);
    ASSERT_TRUE(view->IsDrawing());
    const int changesBefore = activeLayersChanged;

    ASSERT_TRUE(edit().Delete(group));
    EXPECT_FALSE(shown->isActive());
    EXPECT_FALSE(shown->isShownForEditing());
    EXPECT_TRUE(controller.ShownItems().empty());
    EXPECT_FALSE(controller.EditedItem());
    EXPECT_EQ(controller.DisplayBinding(kEscape), nullptr) << "a deleted layer must leave the keyboard";
    EXPECT_FALSE(view->IsDrawing());
    EXPECT_FALSE(view->HasObject());
    EXPECT_GT(activeLayersChanged, changesBefore);

    // Undo puts the group back at its place, switched on again, its view plug-in running.
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(controller.Binding(kEscape), &shown->binding(kEscape));
    EXPECT_TRUE(view->IsDrawing());
    ASSERT_TRUE(edit().Redo());
    EXPECT_FALSE(controller.ActiveLayers().contains(shown.get()));
}

TEST_F(LayerEditingTest, BuiltInItemsCannotBeDeletedRenamedOrMoved) {
    const auto system = cake.systemLayers();
    for (const KVPtr<KVLayersItem>& item : {KVPtr<KVLayersItem>(user), KVPtr<KVLayersItem>(system),
                                            KVPtr<KVLayersItem>(cake.controlButtons())}) {
        ASSERT_TRUE(item);
        EXPECT_FALSE(edit().Delete(item)) << item->identifier();
        EXPECT_FALSE(edit().Rename(item, "Mine")) << item->identifier();
        EXPECT_FALSE(edit().Move(item, nullptr, nullptr)) << item->identifier();
    }
    EXPECT_FALSE(edit().Rename(work, "  ")) << "an empty name is refused";
    // Nothing goes into a layer, the system layers or a group outside the cake.
    EXPECT_FALSE(edit().NewLayer(work, nullptr));
    EXPECT_FALSE(edit().NewLayer(system, nullptr));
    EXPECT_FALSE(edit().NewGroup(makeGroup("detached"), nullptr));
    EXPECT_FALSE(edit().Move(work, system, nullptr));
    EXPECT_FALSE(edit().Delete(nullptr));
    EXPECT_FALSE(edit().Delete(makeLayer("not-in-the-cake")));
    EXPECT_FALSE(edit().CanUndo());
}

TEST_F(LayerEditingTest, MovingChangesPriorityAndFollowsTheGroupsConditions) {
    work->binding(kEscape).image = solidPicture(1);
    games->binding(kEscape).image = solidPicture(2);
    ASSERT_EQ(controller.Binding(kEscape), &work->binding(kEscape));

    // Nothing comes on or goes off, yet the order of the stack changed: the keyboard must follow.
    ASSERT_TRUE(edit().Move(work, user, games));
    EXPECT_EQ(controller.Binding(kEscape), &games->binding(kEscape));
    EXPECT_FALSE(edit().Move(work, user, games)) << "already there";

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

TEST_F(LayerEditingTest, MovingToAnotherFolderMarksPicturesAndUndoTakesTheMarksBack) {
    const auto picture = work->binding(kEscape).image = solidPicture(1);
    const auto alreadyChanged = work->binding(kF1).image = solidPicture(2);
    alreadyChanged->setChanged(true);
    user->items().add(makeGroup("group"));

    ASSERT_TRUE(edit().Move(work, user, games)); // same folder: nothing to write
    EXPECT_FALSE(picture->isChanged());
    ASSERT_TRUE(edit().Move(work, user->children().find("group"), nullptr));
    EXPECT_TRUE(picture->isChanged()) << "the new folder needs the picture file";
    ASSERT_TRUE(edit().Undo());
    EXPECT_FALSE(picture->isChanged());
    EXPECT_TRUE(alreadyChanged->isChanged());
    ASSERT_TRUE(edit().Redo());
    EXPECT_TRUE(picture->isChanged());
}

TEST_F(LayerEditingTest, EnableAndDisableKeepTheStackConsistent) {
    work->binding(kEscape).image = solidPicture(1);
    // A layer the editor shows stays on the keyboard while disabled, until the editor leaves it.
    controller.ShowForEditing(work);
    ASSERT_TRUE(edit().Disable(work));
    EXPECT_FALSE(edit().Disable(work)) << "already disabled";
    EXPECT_EQ(controller.Binding(kEscape), &work->binding(kEscape));
    controller.StopShowing(work);
    EXPECT_FALSE(work->isActive());
    EXPECT_EQ(controller.Binding(kEscape), nullptr);
    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(work->isActive());

    // Enabling a layer inside a group that is off does not bring it on behind the group's back.
    auto off = makeGroup("off", {makeLayer("inner")});
    off->conditions().push_back(modifierCondition(kShift));
    user->items().insert(0, off);
    controller.ReEvaluate();
    auto inner = off->children().items().front();
    ASSERT_TRUE(edit().Disable(inner) && edit().Enable(inner));
    EXPECT_FALSE(inner->isActive());
    keyboard.setModifierMask(kShift);
    dispatch.send<KVM_DEVICE_MODIFIERS_CHANGED>(kShift);
    EXPECT_TRUE(inner->isActive());

    // Disabling a group switches off what is below it.
    ASSERT_TRUE(edit().Disable(user));
    EXPECT_FALSE(work->isActive());
    EXPECT_FALSE(inner->isActive());
    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(work->isActive());
}

TEST_F(LayerEditingTest, PasteGivesTheTargetItsOwnPictureAndPlugInsOnItsKey) {
    auto& source = games->binding(kEscape);
    source.image = solidPicture(7);
    source.scanCode = 28;
    source.keystroke = "Esc";
    source.properties = KVPropertyNode::create("Properties");
    source.properties->addChild("FontFace", "Tahoma");
    auto sourceAction = bindAction(*games, kEscape, "launcher");
    sourceAction->Activate();
    auto oldTargetAction = bindAction(*work, kF1, "old");
    oldTargetAction->Activate();
    keysChanged.clear();

    ASSERT_TRUE(edit().CopyBinding(source, work, kF1));
    const auto& pasted = work->binding(kF1);
    ASSERT_TRUE(pasted.image);
    EXPECT_NE(pasted.image, source.image);
    EXPECT_TRUE(pasted.image->samePixels(*solidPicture(7)));
    EXPECT_TRUE(pasted.image->isChanged()) << "the target layer writes its own file";
    EXPECT_FALSE(source.image->isChanged());
    EXPECT_EQ(pasted.scanCode, 28);
    ASSERT_TRUE(pasted.actionPlugin);
    EXPECT_NE(pasted.actionPlugin, sourceAction);
    EXPECT_EQ(pasted.actionPlugin->KeyIndex(), kF1);
    EXPECT_EQ(pasted.actionPlugin->PluginID(), "launcher");
    EXPECT_TRUE(pasted.actionPlugin->IsActive()) << "the target layer is active";
    EXPECT_FALSE(oldTargetAction->IsActive());
    EXPECT_NE(pasted.properties, source.properties);
    EXPECT_EQ(pasted.properties->childValue("FontFace"), "Tahoma");
    EXPECT_TRUE(changed(kF1));

    // Undo brings back the very binding that was there, its plug-in running again.
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->binding(kF1).actionPlugin, oldTargetAction);
    EXPECT_TRUE(oldTargetAction->IsActive());

    // A partial paste takes only the chosen fields.
    work->binding(kF2).image = solidPicture(3);
    work->binding(kF2).actionCode = 0x7B;
    ASSERT_TRUE(edit().CopyBinding(source, work, kF2, KV_FIELD_SCAN_CODE | KV_FIELD_KEYSTROKE));
    EXPECT_TRUE(work->binding(kF2).image->samePixels(*solidPicture(3)));
    EXPECT_EQ(work->binding(kF2).scanCode, 28);
    EXPECT_EQ(work->binding(kF2).keystroke, "Esc");
    EXPECT_EQ(work->binding(kF2).actionCode, 0x7B);
    EXPECT_FALSE(edit().CopyBinding(source, work, kF1, 0));
    EXPECT_FALSE(edit().CopyBinding(source, work, kLayerKeyCount));
    EXPECT_FALSE(edit().CopyBinding(source, nullptr, kF1));
}

TEST_F(LayerEditingTest, SwapExchangesPicturesAndActionsAndUndoRestoresTheOriginals) {
    auto f1Picture = work->binding(kF1).image = solidPicture(1);
    auto f2Picture = work->binding(kF2).image = solidPicture(2);
    auto f1Action = bindAction(*work, kF1, "f1-action");
    work->deactivate();
    work->activate();
    keysChanged.clear();

    ASSERT_TRUE(edit().SwapBindings(work, kF1, work, kF2));
    EXPECT_TRUE(work->binding(kF1).image->samePixels(*f2Picture));
    EXPECT_TRUE(work->binding(kF2).image->samePixels(*f1Picture));
    EXPECT_TRUE(work->binding(kF1).image->isChanged() && work->binding(kF2).image->isChanged());
    EXPECT_FALSE(work->binding(kF1).actionPlugin);
    ASSERT_TRUE(work->binding(kF2).actionPlugin);
    EXPECT_EQ(work->binding(kF2).actionPlugin->KeyIndex(), kF2);
    EXPECT_TRUE(work->binding(kF2).actionPlugin->IsActive());
    EXPECT_FALSE(f1Action->IsActive());
    EXPECT_TRUE(changed(kF1) && changed(kF2));
    EXPECT_FALSE(edit().SwapBindings(work, kF1, work, kF1));

    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->binding(kF1).image, f1Picture);
    EXPECT_FALSE(f1Picture->isChanged()) << "the undo leaves nothing to rewrite";
    EXPECT_EQ(work->binding(kF1).actionPlugin, f1Action);
    EXPECT_TRUE(f1Action->IsActive());
    EXPECT_FALSE(work->binding(kF2).actionPlugin);
}

TEST_F(LayerEditingTest, ClearAndPushOnSeveralKeysAreOneStep) {
    games->binding(kEscape).image = solidPicture(4);
    games->binding(kF1).keystroke = "F1";
    work->binding(kF2).scanCode = 5;
    auto view = bindView(*work, kF2, "clock");
    work->deactivate();
    work->activate();
    controller.RefreshKeyPictures();
    ASSERT_TRUE(view->IsDrawing());

    const unsigned keys[] = {kEscape, kF1, kF2};
    ASSERT_TRUE(edit().PushBindings(work, keys));
    EXPECT_TRUE(work->binding(kEscape).image->samePixels(*solidPicture(4)));
    EXPECT_EQ(work->binding(kF1).keystroke, "F1");
    EXPECT_EQ(work->binding(kF2).scanCode, 5) << "nothing below F2: it keeps its own binding";

    ASSERT_TRUE(edit().ClearBindings(work, keys));
    for (const unsigned key : keys)
        EXPECT_FALSE(work->binding(key).isSet());
    EXPECT_FALSE(view->IsDrawing());
    EXPECT_EQ(controller.Binding(kEscape), &games->binding(kEscape));

    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->binding(kF2).viewPlugin, view);
    EXPECT_TRUE(view->IsDrawing());
    EXPECT_EQ(work->binding(kF1).keystroke, "F1");
    ASSERT_TRUE(edit().Undo());
    EXPECT_FALSE(work->binding(kEscape).isSet());
    EXPECT_FALSE(edit().CanUndo());
}

TEST_F(LayerEditingTest, KeyPanelOperationsReplaceTheirPartOnly) {
    auto action = bindAction(*work, kF1, "launcher");
    work->binding(kF1).image = solidPicture(1);
    work->deactivate();
    work->activate();

    ASSERT_TRUE(edit().SetKeyCode(work, kF1, 0, 0x7B));
    EXPECT_FALSE(work->binding(kF1).actionPlugin) << "a key code replaces the action plug-in";
    EXPECT_FALSE(action->IsActive());
    EXPECT_EQ(work->binding(kF1).actionCode, 0x7B);
    EXPECT_TRUE(work->binding(kF1).image);

    ASSERT_TRUE(edit().SetViewPlugin(work, kF1, "clock", "analogue"));
    const auto view = work->binding(kF1).viewPlugin;
    ASSERT_TRUE(view);
    EXPECT_EQ(view->KeyIndex(), kF1);
    EXPECT_EQ(view->SubPluginID(), "analogue");
    EXPECT_TRUE(view->IsActive());
    ASSERT_TRUE(edit().SetViewPlugin(work, kF1, "", ""));
    EXPECT_FALSE(work->binding(kF1).viewPlugin);
    EXPECT_FALSE(view->IsActive());

    auto picture = solidPicture(8);
    ASSERT_TRUE(edit().SetKeyImage(work, kF1, picture));
    EXPECT_TRUE(picture->isChanged());
    ASSERT_TRUE(edit().SetActionPlugin(work, kF2, "launcher", "run"));
    EXPECT_TRUE(work->binding(kF2).actionPlugin->IsActive());

    while (edit().Undo())
        ;
    EXPECT_EQ(work->binding(kF1).actionPlugin, action);
    EXPECT_TRUE(action->IsActive());
    EXPECT_FALSE(work->binding(kF2).isSet());
}

TEST_F(LayerEditingTest, LabelStylesChangeCaptionsOfSeveralKeysAsOneStepAndKeepOtherProperties) {
    KVTextRenderer renderer;
    const unsigned keyA = keyIndex("A"), keyB = keyIndex("B"), keyC = keyIndex("C");
    for (const auto& [key, text] : {std::pair{keyA, "a"}, std::pair{keyB, "b"}, std::pair{keyC, "c"}}) {
        work->binding(key).keystroke = text;
        work->binding(key).image = renderer.RenderPlainLabel(text);
    }
    const auto propertiesB = work->binding(keyB).properties = KVPropertyNode::create("Properties");
    propertiesB->addChild("Note", "kept");
    propertiesB->addChild("FontSize", "12");
    work->binding(kF1).image = solidPicture(3); // a picture, no caption: not a label
    const auto plainA = work->binding(keyA).image;
    keysChanged.clear();

    KVLabelStyle style;
    style.face = "DejaVu Serif";
    style.size = 20;
    style.bold = true;
    style.color = 0x0000FF; // red
    style.bkColor = 0x202020;
    const unsigned keys[] = {keyA, keyB, keyC, kF1};
    ASSERT_TRUE(edit().SetLabelProperties(work, keys, style, renderer));
    EXPECT_EQ(keysChanged, (std::vector<unsigned>{keyA, keyB, keyC})) << "the keyboard hears of each key";
    for (const unsigned key : {keyA, keyB, keyC}) {
        const auto& binding = work->binding(key);
        const auto stored = labelStyleOf(binding);
        EXPECT_EQ(
            std::tie(stored.face, stored.size, stored.bold, stored.italic, stored.color, stored.bkColor),
            std::tie(style.face, style.size, style.bold, style.italic, style.color, style.bkColor));
        ASSERT_TRUE(binding.image);
        EXPECT_TRUE(binding.image->isChanged()) << "the next save stores the new picture";
        EXPECT_TRUE(binding.image->samePixels(*renderer.RenderLabel(binding.keystroke, style)));
    }
    EXPECT_EQ(work->binding(keyB).properties->childValue("Note"), "kept");
    EXPECT_EQ(propertiesB->childValue("FontSize"), "12") << "the old properties stay as they were for undo";
    EXPECT_FALSE(work->binding(kF1).properties);

    // One step back restores every key, the very pictures and properties it had.
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->binding(keyA).image, plainA);
    EXPECT_EQ(work->binding(keyB).properties, propertiesB);
    EXPECT_FALSE(work->binding(keyC).properties);
    EXPECT_FALSE(edit().CanUndo());
    ASSERT_TRUE(edit().Redo());

    // Back to the defaults: the label keys go, the rest stays, the caption looks like a plain one.
    const unsigned one[] = {keyB};
    ASSERT_TRUE(edit().SetLabelProperties(work, one, std::nullopt, renderer));
    const auto& reset = work->binding(keyB);
    ASSERT_TRUE(reset.properties);
    EXPECT_EQ(reset.properties->children().size(), 1u);
    EXPECT_EQ(reset.properties->childValue("Note"), "kept");
    EXPECT_TRUE(reset.image->samePixels(*renderer.RenderPlainLabel("b")));
    const unsigned none[] = {kF1, kF2};
    EXPECT_FALSE(edit().SetLabelProperties(work, none, style, renderer)) << "no caption, no step";
    EXPECT_FALSE(edit().SetLabelProperties(work, one, std::nullopt, renderer)) << "already plain, no step";
}

TEST_F(LayerEditingTest, ConditionsAddedAndRemovedFollowActivationAndUndoPutsThemBackInPlace) {
    auto ctrl = modifierCondition(kCtrl);
    auto shift = modifierCondition(kShift);
    ASSERT_TRUE(edit().AddCondition(work, ctrl));
    EXPECT_TRUE(active(work)) << "Ctrl is held";
    ASSERT_TRUE(edit().AddCondition(work, shift));
    EXPECT_FALSE(active(work)) << "Shift is not held";
    EXPECT_FALSE(edit().AddCondition(work, shift)) << "already there";

    ASSERT_TRUE(edit().RemoveCondition(work, ctrl));
    EXPECT_EQ(work->conditions(), (KVConditionList{shift}));
    EXPECT_FALSE(edit().RemoveCondition(work, ctrl)) << "no longer there";
    EXPECT_FALSE(edit().RemoveCondition(games, shift)) << "a condition of another item";

    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->conditions(), (KVConditionList{ctrl, shift})) << "back in its old place";
    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(active(work));
    ASSERT_TRUE(edit().Redo() && edit().Redo());
    EXPECT_EQ(work->conditions(), (KVConditionList{shift}));
    EXPECT_FALSE(active(work));
    while (edit().Undo())
        ;
    EXPECT_TRUE(work->conditions().empty());
    EXPECT_TRUE(active(work));
}

// Each edit and its undo switch the item it belongs to, whichever item the editor edits now.
TEST_F(LayerEditingTest, ConditionEditsSwitchTheItemBothWaysAndUndoSwitchesItBack) {
    auto modifier = modifierCondition(kShift);
    ASSERT_TRUE(edit().AddCondition(work, modifier));
    ASSERT_FALSE(active(work));
    controller.SetEditedItem(games);

    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kCtrl));
    EXPECT_EQ(modifier->Mask(), kCtrl);
    EXPECT_TRUE(active(work));
    EXPECT_FALSE(edit().SetConditionMask(work, modifier, kCtrl | 0x100))
        << "bits without a letter are no change";
    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kCtrl | kNum));
    EXPECT_FALSE(active(work));
    EXPECT_TRUE(active(games));

    ASSERT_TRUE(edit().Undo());
    EXPECT_TRUE(active(work));
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(modifier->Mask(), kShift);
    EXPECT_FALSE(active(work));
    ASSERT_TRUE(edit().Redo());
    EXPECT_TRUE(active(work));

    // A disabled item stays off whatever its conditions say.
    ASSERT_TRUE(edit().Disable(work));
    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kShift));
    ASSERT_TRUE(edit().SetConditionMask(work, modifier, kCtrl));
    EXPECT_FALSE(work->isActive());
    ASSERT_TRUE(edit().Enable(work));
    EXPECT_TRUE(active(work));

    const auto systemChild = cake.systemLayers()->children().items().front();
    EXPECT_FALSE(edit().AddCondition(systemChild, modifierCondition(kCtrl)))
        << "the system layers are left alone";
    EXPECT_FALSE(edit().AddCondition(makeLayer("stray"), modifierCondition(kCtrl))) << "not in the tree";
    EXPECT_FALSE(edit().AddCondition(work, nullptr));
}

} // namespace
