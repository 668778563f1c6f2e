#include "TestPlugins.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/PluginHolders.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/ViewPluginInstance.h"
#include "store/PropertyNode.h"
#include "support/ManualLoop.h"

#include <gtest/gtest.h>

namespace {

// The layer model as instances see it: one layer holding a view and an action on one key.
struct FakeHolders final : IKVPluginHolders {
    std::optional<Holder> holderOf(const KVKeyPluginInstance& instance) const override {
        if (&instance == view || &instance == action)
            return Holder{"/profile/Layers/user_layers/{LAYER}", "Clock layer"};
        return std::nullopt;
    }
    KVKeyPluginInstance* pairedInstance(const KVKeyPluginInstance& instance) const override {
        if (&instance == view)
            return action;
        return &instance == action ? view : nullptr;
    }
    KVKeyPluginInstance* view = nullptr;
    KVKeyPluginInstance* action = nullptr;
};

class PluginInstanceTest : public ::testing::Test {
protected:
    PluginInstanceTest() {
        registry.add(testPlugin("Recorder"));
        factory.setHolders(&holders);
        dispatch.RegisterHandler<KVM_PLUGIN_IMAGE_UPDATED>(this, &PluginInstanceTest::onImage);
        dispatch.RegisterHandler<KVM_PLUGIN_CONDITION_CHANGED>(this, &PluginInstanceTest::onCondition);
    }
    ~PluginInstanceTest() override { dispatch.UnregisterHandlers(this); }

    void onImage(KVViewPluginInstance* instance, unsigned key) { images.emplace_back(instance, key); }
    void onCondition() { ++conditionChanges; }
    int counter(const char* name) { return testCounter("Recorder", name); }

    KVPtr<KVConditionPluginInstance> loadCondition(const std::string& body) {
        auto entry = KVPropertyNode::create("entry");
        entry->addChild("Type", "plugin");
        entry->addChild("PluginID", "Recorder");
        entry->addChild("SubPluginID", "Flag");
        if (!body.empty())
            entry->addChild("PluginProperties")->addChild("Initial", body);
        auto condition =
            std::static_pointer_cast<KVConditionPluginInstance>(factory.CreatePluginCondition(nullptr));
        condition->Load(*entry);
        return condition;
    }

    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    KVPluginRegistry registry;
    FakeHolders holders;
    KVPluginInstanceFactory factory{&registry, &dispatch};
    std::vector<std::pair<KVViewPluginInstance*, unsigned>> images;
    int conditionChanges = 0;
};

TEST_F(PluginInstanceTest, PropertiesArePluginDataAndSavedWithTheInstance) {
    // Entries round-trip through layer files in the layer store's tests; here what the plug-in sets.
    auto entry = KVPropertyNode::create("ViewPlugin");
    entry->addChild("PluginID", "Recorder");
    entry->addChild("SubPluginID", "Fill");
    auto view = std::make_shared<KVViewPluginInstance>(&factory, 1);
    view->Load(*entry);
    IKVViewPluginContext* context = view->context();
    char buffer[CORVANE_PLUGIN_BUFFER_SIZE] = "junk";
    EXPECT_EQ(context->vtbl->GetProperty(context, "Colour", buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(context->vtbl->GetProperty(context, nullptr, buffer), 0);
    context->vtbl->SetProperty(context, "Colour", nullptr);
    EXPECT_FALSE(view->Properties());
    context->vtbl->SetProperty(context, "Colour", "blue");
    context->vtbl->SetProperty(context, "Colour", "red");
    EXPECT_EQ(context->vtbl->GetProperty(context, "Colour", buffer), 1);
    EXPECT_STREQ(buffer, "red");

    auto saved = KVPropertyNode::create("ViewPlugin");
    view->Save(*saved);
    EXPECT_EQ(saved->findChild("PluginProperties")->childValue("Colour"), "red");
    EXPECT_EQ(view->SubPluginInfo(), nullptr) << "the registry's plug-in has no description";
}

TEST_F(PluginInstanceTest, ContextsKnowTheirKeyHolderAndPartner) {
    auto view = factory.CreateViewInstance(registry.find("Recorder"), "Fill", 1);
    auto action = factory.CreateActionInstance(registry.find("Recorder"), "Press", 1);
    holders.view = view.get();
    holders.action = action.get();
    IKVViewPluginContext* context = view->context();
    EXPECT_EQ(context->vtbl->GetKeyColumn(context), 2);
    EXPECT_EQ(context->vtbl->GetKeyRow(context), 0);
    EXPECT_EQ(context->vtbl->GetKeyX(context), 140);
    EXPECT_EQ(context->vtbl->GetKeyY(context), 41);
    char buffer[CORVANE_PLUGIN_BUFFER_SIZE];
    context->vtbl->GetItemName(context, buffer);
    EXPECT_STREQ(buffer, "Clock layer");
    context->vtbl->GetItemPath(context, buffer);
    EXPECT_STREQ(buffer, "/profile/Layers/user_layers/{LAYER}");

    EXPECT_EQ(context->vtbl->GetPairedActionObject(context), nullptr) << "no object yet";
    view->Activate();
    action->Activate();
    EXPECT_EQ(context->vtbl->GetPairedActionObject(context), action->Object());
    EXPECT_EQ(action->context()->vtbl->GetPairedViewObject(action->context()), view->Object());
    const int seen = counter("sawPairedView");
    action->Click();
    EXPECT_EQ(counter("sawPairedView"), seen + 1);
}

TEST_F(PluginInstanceTest, ActionKeysReachThePluginOncePerPress) {
    auto action = factory.CreateActionInstance(registry.find("Recorder"), "Press", 0);
    action->Activate();
    const int starts = counter("starts");
    const int stops = counter("stops");
    action->KeyDown();
    action->KeyDown();
    action->KeyUp();
    action->KeyUp();
    EXPECT_EQ(counter("starts"), starts + 1);
    EXPECT_EQ(counter("stops"), stops + 1);
    // Deactivating a held key lets it go first.
    action->KeyDown();
    const int destroys = counter("destroys");
    action->Deactivate();
    EXPECT_EQ(counter("stops"), stops + 2);
    EXPECT_EQ(counter("destroys"), destroys + 1);
}

TEST_F(PluginInstanceTest, ConditionStatesAreQuietWhileCreatedAndAnnouncedOnceAfter) {
    auto quiet = loadCondition("1");
    EXPECT_TRUE(quiet->IsTrue());
    EXPECT_EQ(conditionChanges, 0);

    auto condition = loadCondition("");
    EXPECT_FALSE(condition->IsTrue());
    IKVConditionPluginContext* context = condition->context();
    context->vtbl->SetState(context, 1);
    context->vtbl->SetState(context, 1);
    EXPECT_EQ(conditionChanges, 1);
    EXPECT_TRUE(condition->IsTrue());
    context->vtbl->SetState(context, 2);
    EXPECT_FALSE(condition->IsTrue());
    EXPECT_EQ(conditionChanges, 2);

    // From the plug-in's own thread the change arrives through the loop.
    testHook<void (*)(int32_t)>("Recorder", "corvane_test_set_state_from_thread")(1);
    EXPECT_EQ(conditionChanges, 2);
    loop.runUntil([&] { return conditionChanges == 3; }, std::chrono::seconds(5));
    EXPECT_EQ(conditionChanges, 3);
    EXPECT_TRUE(condition->IsTrue());

    auto saved = KVPropertyNode::create("entry");
    EXPECT_TRUE(condition->Save(*saved));
    EXPECT_EQ(saved->childValue("Type"), "plugin");
    EXPECT_EQ(saved->childValue("SubPluginID"), "Flag");
}

TEST_F(PluginInstanceTest, UpdatesFromAPluginThreadReachTheKeyThroughTheLoop) {
    auto view = factory.CreateViewInstance(registry.find("Recorder"), "Fill", 7);
    view->Activate();
    EXPECT_EQ(view->context()->vtbl->GetCanvas(view->context()), nullptr);
    view->context()->vtbl->Update(view->context());
    EXPECT_TRUE(images.empty()) << "nothing before the view is started";

    ASSERT_TRUE(view->StartView());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0], std::make_pair(view.get(), 7u));
    const uint8_t* pixel = view->KeyImage()->scanLine(0);
    EXPECT_EQ(pixel[0], 0x80); // blue
    EXPECT_EQ(pixel[1], 0x40); // green
    EXPECT_EQ(pixel[2], 0x20); // red

    testHook<void (*)(uint32_t)>("Recorder", "corvane_test_redraw_from_thread")(0xFF0000FFu);
    EXPECT_EQ(images.size(), 1u);
    loop.runUntil([&] { return images.size() == 2; }, std::chrono::seconds(5));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(view->KeyImage()->scanLine(47)[0], 0xFF);

    // Hidden: the plug-in may draw on, but its key is not written.
    view->StopView();
    testHook<void (*)(uint32_t)>("Recorder", "corvane_test_redraw_from_thread")(0xFF00FF00u);
    loop.runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(images.size(), 2u);
    EXPECT_TRUE(view->StartView());
    EXPECT_EQ(view->KeyImage()->scanLine(0)[1], 0xFF) << "the latest picture shows at once";
}

TEST_F(PluginInstanceTest, PanelsAndDroppedFiles) {
    auto view = factory.CreateViewInstance(registry.find("Recorder"), "Fill", 0);
    int parent = 0;
    EXPECT_EQ(view->CreatePanel(&parent), nullptr) << "no object before activation";
    EXPECT_FALSE(view->DropFile("/tmp/a.png"));
    view->Activate();
    EXPECT_EQ(view->CreatePanel(&parent), &parent);
    const int dropped = counter("dropped");
    EXPECT_TRUE(view->DropFile("/tmp/a.png"));
    EXPECT_FALSE(view->DropFile("/tmp/refuse.png"));
    EXPECT_EQ(counter("dropped"), dropped + 2);
    const int destroyed = counter("panelsDestroyed");
    view->Deactivate();
    EXPECT_EQ(counter("panelsDestroyed"), destroyed + 1);
    EXPECT_FALSE(view->HasPanel());
}

TEST_F(PluginInstanceTest, FilesReachAPanelPluginOnlyWhileItsPanelShowsAndAPanelFreeOneWhileItRuns) {
    const auto plugin = registry.find("Recorder");
    auto declare = [&](KVSubPluginKind kind, const char* id, bool hasPanel, bool acceptsFiles) {
        auto info = std::make_shared<KVSubPluginInfo>();
        info->SubPluginID = id;
        info->hasPanel = hasPanel;
        info->acceptsFiles = acceptsFiles;
        plugin->addSubPlugin(kind, info);
    };
    declare(KVSubPluginKind::View, "Fill", true, true);
    declare(KVSubPluginKind::Action, "Press", false, true);

    auto view = factory.CreateViewInstance(plugin, "Fill", 0);
    view->Activate();
    EXPECT_FALSE(view->DropFile("/tmp/a.png")) << "its panel is not shown";

    auto action = factory.CreateActionInstance(plugin, "Press", 0);
    EXPECT_FALSE(action->DropFile("/tmp/a.png")) << "not running";
    action->Activate();
    const int dropped = counter("dropped");
    EXPECT_TRUE(action->DropFile("/tmp/a.png"));
    EXPECT_EQ(counter("dropped"), dropped + 1);

    declare(KVSubPluginKind::Action, "Press", false, false);
    EXPECT_FALSE(action->DropFile("/tmp/a.png")) << "it does not take files";
    view->Deactivate();
    action->Deactivate();
}

TEST_F(PluginInstanceTest, RegistersHoldInstancesUntilThePluginReleasesThem) {
    auto action = factory.CreateActionInstance(registry.find("Recorder"), "Press", 0);
    action->Activate();
    EXPECT_TRUE(factory.actions().contains(action.get()));
    std::weak_ptr<KVActionPluginInstance> watched = action;
    IKVActionPluginContext* context = action->context();
    const int destroys = counter("destroys");
    action.reset();
    EXPECT_FALSE(watched.expired()) << "the register keeps it for the plug-in";
    context->vtbl->Release(context);
    EXPECT_FALSE(factory.actions().contains(watched.lock().get()));
    // Let go on the loop, not inside the plug-in's call; the last reference going destroys the object.
    EXPECT_FALSE(watched.expired());
    loop.runOnce();
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(counter("destroys"), destroys + 1);

    // An instance of a missing plug-in has nobody to release it and is not kept.
    auto entry = KVPropertyNode::create("ActionPlugin");
    entry->addChild("PluginID", "Uninstalled");
    auto orphan = std::make_shared<KVActionPluginInstance>(&factory, 0);
    orphan->Load(*entry);
    orphan->Activate();
    EXPECT_EQ(factory.actions().size(), 0u);
}

} // namespace
