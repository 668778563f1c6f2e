#include "LayersFixture.h"

#include <gtest/gtest.h>

using namespace corvane::layers;

namespace {

struct LayerStackTest : ::testing::Test, LayersStackFixture {
    // The cake as start-up leaves it, without shipped folders: user layers first, then system layers; with
    // the keyboard there unless told otherwise, and the controller started.
    void start(std::vector<KVPtr<KVLayersItem>> userItems, bool keyboardThere = true) {
        cake.items().add(makeGroup(KVLayerCake::kUserLayersId, std::move(userItems)));
        cake.setUpUserLayers("/nonexistent");
        cake.setUpSystemLayers("/nonexistent");
        keyboard.setOpen(keyboardThere);
        controller.Start();
    }
    void setModifiers(uint32_t mask) {
        keyboard.setModifierMask(mask);
        dispatch.send<KVM_DEVICE_MODIFIERS_CHANGED>(mask);
    }
    static constexpr unsigned kEscape = 0;
};

TEST_F(LayerStackTest, TheEarlierActiveLayerSuppliesPictureAndActionWhole) {
    auto upper = makeLayer("upper"), lower = makeLayer("lower");
    upper->binding(kEscape).image = solidPicture(1);
    auto lowerAction = bindAction(*lower, kEscape, "lower-plugin");
    lower->binding(kEscape).scanCode = 0x29;
    // A binding with only an action code never takes part.
    auto silent = makeLayer("silent");
    silent->binding(kEscape).actionCode = 7;
    silent->binding(keyIndex("F1")).actionCode = 7;
    start({silent, upper, lower});

    ASSERT_EQ(controller.Binding(kEscape), &upper->binding(kEscape));
    EXPECT_EQ(controller.Binding(keyIndex("F1")), nullptr);
    // Pressing Escape reaches no plug-in: the lower layer's action is not in force.
    dispatch.send<KVM_KEY_EVENT>(kEscape, 1);
    dispatch.send<KVM_KEY_EVENT>(kEscape, 0);
    EXPECT_EQ(std::count(plugins.log.begin(), plugins.log.end(), "action lower-plugin start"), 0);

    // Emptying the upper binding lets the lower one through, action and all.
    upper->binding(kEscape) = {};
    EXPECT_EQ(controller.Binding(kEscape), &lower->binding(kEscape));
    EXPECT_EQ(controller.Binding(kEscape)->actionPlugin, lowerAction);
}

TEST_F(LayerStackTest, ActionPluginsGetOneStartPerPressAndTheirOwnRelease) {
    auto upper = makeLayer("upper"), lower = makeLayer("lower");
    auto upperAction = bindAction(*upper, kEscape, "upper");
    bindAction(*lower, kEscape, "lower");
    upper->conditions().push_back(modifierCondition(4));
    keyboard.setModifierMask(4);
    start({upper, lower});
    plugins.log.clear();

    dispatch.send<KVM_KEY_EVENT>(kEscape, 1);
    dispatch.send<KVM_KEY_EVENT>(kEscape, 1); // auto-repeat
    // Shift goes up while Escape is held: the lower layer is in force now, but the release still
    // belongs to the action that got the press.
    setModifiers(0);
    EXPECT_EQ(plugins.log, (std::vector<std::string>{"action upper start", "action upper stop",
                                                     "action upper destroyed"}));
    plugins.log.clear();
    dispatch.send<KVM_KEY_EVENT>(kEscape, 0);
    EXPECT_TRUE(plugins.log.empty());
    EXPECT_FALSE(upperAction->IsPressed());

    dispatch.send<KVM_KEY_EVENT>(kEscape, 1);
    dispatch.send<KVM_KEY_EVENT>(kEscape, 0);
    EXPECT_EQ(plugins.log, (std::vector<std::string>{"action lower start", "action lower stop"}));
}

// What the editor shows comes on, even disabled or in a failing group, and stays through evaluations; it
// wins on the display but not for key events, and goes when the editor leaves it.
TEST_F(LayerStackTest, AShownLayerWinsOnTheDisplayButNotForKeyEventsUntilTheEditorLeavesIt) {
    auto active = makeLayer("active"), edited = makeLayer("edited"), inside = makeLayer("inside");
    active->binding(kEscape).image = solidPicture(1);
    edited->binding(kEscape).image = solidPicture(2);
    edited->setFlag(KV_ITEM_ENABLED, false);
    inside->binding(kEscape).image = solidPicture(3);
    auto group = makeGroup("ctrl-group", {inside});
    group->conditions().push_back(modifierCondition(2));
    start({group, active, edited});
    EXPECT_FALSE(edited->isActive());

    controller.ShowForEditing(edited);
    EXPECT_TRUE(edited->isActive());
    EXPECT_EQ(controller.DisplayBinding(kEscape), &edited->binding(kEscape));
    EXPECT_EQ(controller.Binding(kEscape), &active->binding(kEscape));
    // The active layer is shown too: the keyboard must hear of it although nothing came on.
    const int whileShown = activeLayersChanged;
    controller.ShowForEditing(active);
    EXPECT_EQ(activeLayersChanged, whileShown + 1);
    EXPECT_EQ(controller.DisplayBinding(kEscape), &active->binding(kEscape));

    controller.ShowForEditing(inside);
    dispatch.send<KVM_HOOK_STATE_CHANGED>();
    EXPECT_EQ(controller.Binding(kEscape), &inside->binding(kEscape));
    controller.EditorClosed();
    EXPECT_FALSE(edited->isActive());
    EXPECT_FALSE(inside->isActive());
    EXPECT_EQ(controller.DisplayBinding(kEscape), &active->binding(kEscape));
}

TEST_F(LayerStackTest, UserLayersWaitForTheKeyboard) {
    auto layer = makeLayer("mine");
    layer->binding(kEscape).keystroke = "x";
    start({layer}, false);
    EXPECT_FALSE(layer->isActive());
    const int atStart = activeLayersChanged; // the background came on

    keyboard.setOpen(true);
    dispatch.send<KVM_DEVICE_STATE>(0);
    EXPECT_TRUE(layer->isActive());
    EXPECT_EQ(activeLayersChanged, atStart + 1);

    // The system condition is never stored.
    auto root = KVPropertyNode::create("root");
    cake.saveLayers(*root);
    const auto user = root->findChild("Layers")->findChild("ItemOrder")->findChild("user_layers");
    EXPECT_FALSE(user->findChild("Conditions")->hasChildren());
}

// A stored layer that took a built-in identifier is kept inside the group that replaces it.
TEST_F(LayerStackTest, AStoredLayerWithABuiltInIdentifierIsKept) {
    KVLayerCake other;
    other.items().add(makeLayer("user_layers"));
    other.setUpUserLayers("/nonexistent");
    ASSERT_TRUE(other.userLayers());
    EXPECT_EQ(other.items().size(), 1u);
    EXPECT_EQ(other.userLayers()->children().items().front()->identifier(), "user_layers_layer");
}

TEST_F(LayerStackTest, ShutdownReleasesEveryPluginAndList) {
    auto layer = makeLayer("tools");
    bindAction(*layer, kEscape, "tool");
    bindView(*layer, keyIndex("F1"), "meter");
    start({layer});
    controller.ShowForEditing(layer);
    dispatch.send<KVM_KEY_EVENT>(kEscape, 1);
    controller.Shutdown();
    EXPECT_FALSE(layer->isActive());
    EXPECT_TRUE(controller.ActiveLayers().empty());
    EXPECT_TRUE(controller.ShownItems().empty());
    for (const char* expected :
         {"action tool stop", "action tool destroyed", "view meter start", "view meter destroyed"})
        EXPECT_EQ(std::count(plugins.log.begin(), plugins.log.end(), expected), 1) << expected;
    cake.clear();
    EXPECT_EQ(layer.use_count(), 1);
}

} // namespace
