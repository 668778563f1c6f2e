#include "TestPlugins.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/ViewPluginInstance.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(PluginLibraryTest, ALibraryThatCannotLoadOrServesAnotherInterfaceSaysWhyAndIsNotTriedAgain) {
    const std::pair<const char*, const char*> cases[] = {
        {"OldInterface", "built for plug-in interface 2.0, but this program offers 1.0"},
        {"NewerMinor", "1.99"},
        {"Unversioned", "corvane_plugin_abi_version"}};
    for (const auto& [name, error] : cases) {
        const auto plugin = testPlugin(name);
        EXPECT_FALSE(plugin->ensureLoaded());
        EXPECT_NE(plugin->loadError().find(error), std::string::npos) << plugin->loadError();
        EXPECT_FALSE(plugin->entryPoints().any()) << name;
    }

    TempDir dir;
    KVPluginInfo late("Late", dir / "Late.so");
    EXPECT_FALSE(late.ensureLoaded());
    const std::string error = late.loadError();
    EXPECT_NE(error.find("Late.so"), std::string::npos) << error;
    // Installed while the program runs: seen at the next start, not now.
    std::filesystem::copy_file(testPluginPath("Recorder"), dir / "Late.so");
    EXPECT_FALSE(late.ensureLoaded());
    EXPECT_EQ(late.loadError(), error);
    EXPECT_FALSE(late.entryPoints().any());
}

TEST(PluginLibraryTest, FactoriesDecideWhatCanBeCreatedAndOneThatThrowsGivesNoObject) {
    KVPluginInstanceFactory factory(nullptr, nullptr);
    const auto conditionsOnly = testPlugin("ConditionOnly");
    EXPECT_FALSE(factory.CreateViewInstance(conditionsOnly, "Fill", 0));
    EXPECT_TRUE(conditionsOnly->loadError().empty());
    auto condition = factory.CreateConditionInstance(conditionsOnly, "Flag", nullptr);
    ASSERT_TRUE(condition);
    EXPECT_FALSE(condition->IsTrue());
    EXPECT_TRUE(condition->HasObject());

    const auto nothing = testPlugin("NoFactories");
    EXPECT_FALSE(factory.CreateActionInstance(nothing, "Press", 0));
    EXPECT_TRUE(nothing->isLoaded());
    EXPECT_EQ(nothing->loadError(), "No factory functions");

    const auto throwing = testPlugin("Throwing");
    auto view = factory.CreateViewInstance(throwing, "Fill", 0);
    auto action = factory.CreateActionInstance(throwing, "Press", 0);
    ASSERT_TRUE(view && action);
    view->Activate();
    action->Activate();
    EXPECT_FALSE(view->HasObject());
    EXPECT_FALSE(action->HasObject());
    EXPECT_FALSE(view->StartView());
    EXPECT_TRUE(throwing->isUsable());
}

TEST(PluginLibraryTest, APluginThatCrashesIsDisabledAndTheOthersGoOn) {
    KVPluginInstanceFactory factory(nullptr, nullptr);
    const auto crashing = testPlugin("CrashInCreate");
    auto view = factory.CreateViewInstance(crashing, "Fill", 3);
    ASSERT_TRUE(view);
    view->Activate();
    EXPECT_FALSE(view->HasObject());
    EXPECT_TRUE(crashing->hasFailed());
    EXPECT_EQ(crashing->loadError().rfind("crashed in createView of CrashInCreate/Fill", 0), 0u)
        << crashing->loadError();
    // Never called again: its other sub-plug-ins cannot be created either.
    EXPECT_FALSE(factory.CreateConditionInstance(crashing, "Flag", nullptr));

    const auto starting = testPlugin("CrashInStart");
    auto startView = factory.CreateViewInstance(starting, "Fill", 4);
    auto action = factory.CreateActionInstance(starting, "Press", 4);
    ASSERT_TRUE(startView && action);
    startView->Activate();
    action->Activate();
    EXPECT_TRUE(action->HasObject());
    EXPECT_FALSE(startView->StartView());
    EXPECT_EQ(starting->loadError().rfind("crashed in Start of CrashInStart/Fill", 0), 0u)
        << starting->loadError();
    EXPECT_FALSE(startView->IsDrawing());
    EXPECT_FALSE(startView->KeyImage());
    // The action of the same library falls back as for a missing plug-in: nothing reaches it.
    EXPECT_FALSE(action->HasObject());
    action->KeyDown();
    EXPECT_FALSE(action->IsPressed());
    startView->Deactivate();
    action->Deactivate();
    EXPECT_EQ(testCounter("CrashInStart", "destroys"), 0);

    auto healthy = factory.CreateViewInstance(testPlugin("Recorder"), "Fill", 5);
    healthy->Activate();
    EXPECT_TRUE(healthy->StartView());
    EXPECT_TRUE(healthy->IsDrawing());
}

} // namespace
