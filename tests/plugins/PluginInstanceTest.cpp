#include "TestPlugins.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/PluginHolders.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginRegistry.h"
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
        return &instance == view ? action : &instance == action ? view : nullptr;
    }
    KVKeyPluginInstance* view = nullptr;
    KVKeyPluginInstance* action = nullptr;
};

int counter(const char* name) {
    return testCounter("Recorder", name);
}

class PluginInstanceTest : public ::testing::Test {
protected:
    PluginInstanceTest() {
        registry.add(plugin);
        factory.setHolders(&holders);
        dispatch.RegisterHandler<KVM_PLUGIN_IMAGE_UPDATED>(this, &PluginInstanceTest::onImage);
        dispatch.RegisterHandler<KVM_PLUGIN_CONDITION_CHANGED>(this, &PluginInstanceTest::onCondition);
    }
    ~PluginInstanceTest() override { dispatch.UnregisterHandlers(this); }

    void onImage(KVViewPluginInstance* instance, unsigned key) { images.emplace_back(instance, key); }
    void onCondition() { ++conditionChanges; }
    KVPtr<KVViewPluginInstance> view(unsigned key) { return factory.CreateViewInstance(plugin, "Fill", key); }
    KVPtr<KVActionPluginInstance> action(unsigned key) {
        return factory.CreateActionInstance(plugin, "Press", key);
    }
    void declare(KVSubPluginKind kind, const char* id, bool hasPanel, bool acceptsFiles) {
        auto info = std::make_shared<KVSubPluginInfo>();
        info->SubPluginID = id;
        info->hasPanel = hasPanel;
        info->acceptsFiles = acceptsFiles;
        plugin->addSubPlugin(kind, info);
    }

    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    KVPluginRegistry registry;
    const KVPtr<KVPluginInfo> plugin = testPlugin("Recorder");
    FakeHolders holders;
    KVPluginInstanceFactory factory{&registry, &dispatch};
    std::vector<std::pair<KVViewPluginInstance*, unsigned>> images;
    int conditionChanges = 0;
};

TEST_F(PluginInstanceTest, AViewsContextServesPropertiesKeyHolderPartnerPicturesPanelAndDroppedFiles) {
    declare(KVSubPluginKind::View, "Fill", true, true);
    declare(KVSubPluginKind::Action, "Press", false, true);
    auto fill = view(1);
    auto press = action(1);
    holders.view = fill.get();
    holders.action = press.get();
    IKVViewPluginContext* context = fill->context();
    char buffer[CORVANE_PLUGIN_BUFFER_SIZE] = "junk";
    EXPECT_EQ(context->vtbl->GetProperty(context, "Colour", buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(context->vtbl->GetProperty(context, nullptr, buffer), 0);
    context->vtbl->SetProperty(context, "Colour", nullptr);
    EXPECT_FALSE(fill->Properties());
    context->vtbl->SetProperty(context, "Colour", "red");
    EXPECT_EQ(context->vtbl->GetProperty(context, "Colour", buffer), 1);
    EXPECT_STREQ(buffer, "red");
    auto saved = KVPropertyNode::create("ViewPlugin");
    fill->Save(*saved);
    EXPECT_EQ(saved->findChild("PluginProperties")->childValue("Colour"), "red");

    EXPECT_EQ(context->vtbl->GetKeyColumn(context), 2);
    EXPECT_EQ(context->vtbl->GetKeyRow(context), 0);
    EXPECT_EQ(context->vtbl->GetKeyX(context), 140);
    EXPECT_EQ(context->vtbl->GetKeyY(context), 41);
    context->vtbl->GetItemName(context, buffer);
    EXPECT_STREQ(buffer, "Clock layer");
    context->vtbl->GetItemPath(context, buffer);
    EXPECT_STREQ(buffer, "/profile/Layers/user_layers/{LAYER}");

    int parent = 0;
    EXPECT_EQ(context->vtbl->GetPairedActionObject(context), nullptr) << "no object yet";
    EXPECT_EQ(fill->CreatePanel(&parent), nullptr);
    EXPECT_FALSE(press->DropFile("/tmp/a.png")) << "not running";
    fill->Activate();
    press->Activate();
    EXPECT_EQ(context->vtbl->GetPairedActionObject(context), press->Object());
    EXPECT_EQ(press->context()->vtbl->GetPairedViewObject(press->context()), fill->Object());

    // Pictures reach the key only once the view is started, from the plug-in's own thread through the loop.
    EXPECT_EQ(context->vtbl->GetCanvas(context), nullptr);
    context->vtbl->Update(context);
    EXPECT_TRUE(images.empty());
    ASSERT_TRUE(fill->StartView());
    ASSERT_EQ(images, (std::vector<std::pair<KVViewPluginInstance*, unsigned>>{{fill.get(), 1u}}));
    const uint8_t* pixel = fill->KeyImage()->scanLine(0);
    EXPECT_EQ(pixel[0] << 16 | pixel[1] << 8 | pixel[2], 0x804020); // blue, green, red
    const auto redraw = testHook<void (*)(uint32_t)>("Recorder", "corvane_test_redraw_from_thread");
    redraw(0xFF0000FFu);
    EXPECT_EQ(images.size(), 1u);
    loop.runUntil([&] { return images.size() == 2; }, std::chrono::seconds(5));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(fill->KeyImage()->scanLine(47)[0], 0xFF);
    // Hidden: the plug-in may draw on, but its key is not written.
    fill->StopView();
    redraw(0xFF00FF00u);
    loop.runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(images.size(), 2u);
    EXPECT_TRUE(fill->StartView());
    EXPECT_EQ(fill->KeyImage()->scanLine(0)[1], 0xFF) << "the latest picture shows at once";

    // Files reach a view with a panel only while its panel shows, and a panel-free action while it runs.
    const int dropped = counter("dropped"), destroyed = counter("panelsDestroyed");
    EXPECT_FALSE(fill->DropFile("/tmp/a.png")) << "its panel is not shown";
    EXPECT_EQ(fill->CreatePanel(&parent), &parent);
    EXPECT_TRUE(fill->DropFile("/tmp/a.png"));
    EXPECT_FALSE(fill->DropFile("/tmp/refuse.png"));
    EXPECT_TRUE(press->DropFile("/tmp/a.png"));
    EXPECT_EQ(counter("dropped"), dropped + 3);
    declare(KVSubPluginKind::Action, "Press", false, false);
    EXPECT_FALSE(press->DropFile("/tmp/a.png")) << "it does not take files";
    fill->Deactivate();
    EXPECT_EQ(counter("panelsDestroyed"), destroyed + 1);
    EXPECT_FALSE(fill->HasPanel());
}

TEST_F(PluginInstanceTest, AnActionGetsEachPressOnceAndLivesUntilThePluginReleasesIt) {
    auto held = action(0);
    held->Activate();
    const int starts = counter("starts"), stops = counter("stops"), destroys = counter("destroys");
    held->KeyDown();
    held->KeyDown();
    held->KeyUp();
    held->KeyUp();
    EXPECT_EQ(counter("starts"), starts + 1);
    EXPECT_EQ(counter("stops"), stops + 1);
    held->KeyDown();
    held->Deactivate(); // lets the held key go first
    EXPECT_EQ(counter("stops"), stops + 2);
    EXPECT_EQ(counter("destroys"), destroys + 1);

    auto press = action(0);
    press->Activate();
    EXPECT_TRUE(factory.actions().contains(press.get()));
    std::weak_ptr<KVActionPluginInstance> watched = press;
    IKVActionPluginContext* context = press->context();
    press.reset();
    EXPECT_FALSE(watched.expired()) << "the register keeps it for the plug-in";
    context->vtbl->Release(context);
    EXPECT_FALSE(factory.actions().contains(watched.lock().get()));
    // Let go on the loop, not inside the plug-in's call; the last reference going destroys the object.
    EXPECT_FALSE(watched.expired());
    loop.runOnce();
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(counter("destroys"), destroys + 2);

    // An instance of a missing plug-in has nobody to release it and is not kept.
    auto entry = KVPropertyNode::create("ActionPlugin");
    entry->addChild("PluginID", "Uninstalled");
    auto orphan = std::make_shared<KVActionPluginInstance>(&factory, 0);
    orphan->Load(*entry);
    orphan->Activate();
    EXPECT_EQ(factory.actions().size(), 0u);
}

TEST_F(PluginInstanceTest, ConditionStatesAreQuietWhileCreatedAndAnnouncedOnceAfter) {
    auto load = [&](const char* initial) {
        auto entry = KVPropertyNode::create("entry");
        entry->addChild("Type", "plugin");
        entry->addChild("PluginID", "Recorder");
        entry->addChild("SubPluginID", "Flag");
        entry->addChild("PluginProperties")->addChild("Initial", initial);
        auto condition =
            std::static_pointer_cast<KVConditionPluginInstance>(factory.CreatePluginCondition(nullptr));
        condition->Load(*entry);
        return condition;
    };
    EXPECT_TRUE(load("1")->IsTrue());
    EXPECT_EQ(conditionChanges, 0);

    auto condition = load("0");
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
    EXPECT_EQ(saved->childValue("SubPluginID"), "Flag");
}

} // namespace
