// The settings form of the editor changes a plug-in's stored properties through undoable steps: a key's
// plug-in is made anew with the setting, and a condition plug-in reports its state for the new setting.

#include "LayersFixture.h"
#include "layers/LayerEditing.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/PluginCall.h"

#include <gtest/gtest.h>

namespace {

// A condition plug-in that holds while its "On" property is "yes", read when its object is made. Its
// object lets go of the context when it goes, as a plug-in does.
struct SwitchObject {
    IKVPluginObject base;
    IKVConditionPluginContext* context;
};

IKVPluginObject* createSwitch(const char*, IKVConditionPluginContext* context) {
    static const IKVPluginObjectVtbl table = {
        .GetPanel = [](IKVPluginObject*) -> IKVPluginPanel* { return nullptr; },
        .Destroy =
            [](IKVPluginObject* self) {
                auto* object = reinterpret_cast<SwitchObject*>(self);
                object->context->vtbl->Release(object->context);
                delete object;
            },
        .Start = [](IKVPluginObject*) {},
        .Stop = [](IKVPluginObject*) {},
    };
    char value[CORVANE_PLUGIN_BUFFER_SIZE];
    const bool on = context->vtbl->GetProperty(context, "On", value) == 1 && std::string_view(value) == "yes";
    context->vtbl->SetState(context, on ? 1 : 0);
    return &(new SwitchObject{{&table}, context})->base;
}

struct PluginSettingEditTest : ::testing::Test, LayersStackFixture {
    void SetUp() override {
        work = makeLayer("work");
        cake.items().add(makeGroup(KVLayerCake::kUserLayersId, {work}));
        cake.setUpUserLayers("/nonexistent");
        cake.setUpSystemLayers("/nonexistent");
        keyboard.setOpen(true);
        controller.Start();
    }
    KVLayerEditing& edit() { return controller.Editing(); }

    static constexpr unsigned kF1 = 1;
    KVPtr<KVLayer> work;
};

TEST_F(PluginSettingEditTest, AKeyGetsANewInstanceWithTheSettingAndUndoBringsTheOldOneBack) {
    ASSERT_TRUE(edit().SetActionPlugin(work, kF1, "launcher", "run"));
    const auto before = work->binding(kF1).actionPlugin;
    ASSERT_TRUE(before && before->IsActive());

    ASSERT_TRUE(edit().SetPluginSetting(work, kF1, KVSubPluginKind::Action, {"Command", "touch /tmp/x"}));
    const auto after = work->binding(kF1).actionPlugin;
    ASSERT_TRUE(after);
    EXPECT_NE(after, before) << "the plug-in reads its settings when its object is made";
    EXPECT_TRUE(after->IsActive());
    EXPECT_FALSE(before->IsActive());
    EXPECT_EQ(after->Setting("Command"), "touch /tmp/x");
    EXPECT_EQ(after->SubPluginID(), "run");
    EXPECT_EQ(after->KeyIndex(), kF1);
    EXPECT_EQ(before->Setting("Command"), "") << "the undo keeps the old settings";
    EXPECT_EQ(edit().UndoText(), "Set Command of F1");

    EXPECT_FALSE(edit().SetPluginSetting(work, kF1, KVSubPluginKind::Action, {"Command", "touch /tmp/x"}))
        << "the same value makes no step";
    EXPECT_FALSE(edit().SetPluginSetting(work, kF1, KVSubPluginKind::View, {"Command", "x"}))
        << "F1 has no display plug-in";

    // An empty value takes the property out, so the plug-in's default applies again.
    ASSERT_TRUE(edit().SetPluginSetting(work, kF1, KVSubPluginKind::Action, {"Command", ""}));
    const auto cleared = work->binding(kF1).actionPlugin;
    ASSERT_TRUE(cleared);
    EXPECT_EQ(cleared->Properties()->findChild("Command"), nullptr);

    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->binding(kF1).actionPlugin, after);
    EXPECT_EQ(after->Setting("Command"), "touch /tmp/x");
    ASSERT_TRUE(edit().Undo());
    EXPECT_EQ(work->binding(kF1).actionPlugin, before);
    EXPECT_TRUE(before->IsActive());
    ASSERT_TRUE(edit().Redo());
    EXPECT_EQ(work->binding(kF1).actionPlugin, after);
    EXPECT_TRUE(after->IsActive());
}

TEST_F(PluginSettingEditTest, AConditionSettingSwitchesItsLayerAndUndoSwitchesItBack) {
    plugins.registry.add(KVPluginInfo::inProcess("Switch", {nullptr, nullptr, &createSwitch}));
    auto condition =
        plugins.factory.CreateConditionInstance(plugins.registry.find("Switch"), "On", environment);
    ASSERT_TRUE(condition);
    ASSERT_TRUE(edit().AddCondition(work, condition));
    loop.runOnce();
    EXPECT_FALSE(work->isActive()) << "\"On\" is not set";

    ASSERT_TRUE(edit().SetConditionSetting(work, condition, {"On", "yes"}));
    loop.runOnce();
    EXPECT_EQ(condition->Setting("On"), "yes");
    EXPECT_TRUE(condition->State());
    EXPECT_TRUE(work->isActive());
    EXPECT_FALSE(edit().SetConditionSetting(work, condition, {"On", "yes"}));

    ASSERT_TRUE(edit().Undo());
    loop.runOnce();
    EXPECT_EQ(condition->Setting("On"), "");
    EXPECT_FALSE(condition->State());
    EXPECT_FALSE(work->isActive());
    ASSERT_TRUE(edit().Redo());
    loop.runOnce();
    EXPECT_TRUE(work->isActive());
}

} // namespace
