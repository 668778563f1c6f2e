#include "plugins/PluginRegistry.h"

#include "plugins/PluginText.h"
#include "store/PropertyNode.h"
#include "support/TempDir.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace {

void writeInfo(const std::filesystem::path& folder, const std::string& body) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n"
        << body << "\n</plist>\n";
}

std::string pluginDict(const std::string& id, const std::string& displayName, const std::string& inner = {}) {
    return "<dict><key>" + id + "</key><dict><key>DisplayName</key><string>" + displayName + "</string>" +
           "<key>Path</key><string>C:\\elsewhere.dll</string>" + inner + "</dict></dict>";
}

TEST(PluginRegistryTest, ScanningSetsThePathAndTheLaterFolderWinsAClash) {
    TempDir program;
    TempDir user;
    writeInfo(program.path() / "Clock", pluginDict("Clock", "Program clock"));
    writeInfo(program.path() / "Broken", "<dict><key>Broken</key><dict>");
    writeInfo(program.path() / "Empty", "<dict/>");
    std::filesystem::create_directories(program.path() / "NoDescription");
    writeInfo(program.path() / "Weather", pluginDict("Weather", "Weather"));
    writeInfo(user.path() / "MyClock", pluginDict("Clock", "User clock"));

    KVPluginRegistry registry;
    auto root = KVPropertyNode::create("root");
    auto plugins = root->addChild("Plugins");
    registry.scanPluginFolders(program.path().string(), *plugins);
    registry.scanPluginFolders(user.path().string(), *plugins);
    registry.scanPluginFolders((program.path() / "missing").string(), *plugins);
    registry.fillRegistry(root);

    ASSERT_EQ(registry.plugins().size(), 2u);
    // The clash keeps the first one's place in the order and takes the later one's content.
    EXPECT_EQ(registry.plugins()[0]->PluginID(), "Clock");
    EXPECT_EQ(registry.plugins()[0]->displayName(), "User clock");
    EXPECT_EQ(registry.plugins()[0]->libraryPath(), (user.path() / "MyClock" / "MyClock.so").string());
    EXPECT_EQ(registry.find("Weather")->libraryPath(), (program.path() / "Weather" / "Weather.so").string());
    EXPECT_FALSE(registry.find("Broken"));
    EXPECT_FALSE(registry.find("Empty"));
}

TEST(PluginRegistryTest, SubPluginsKeepOrderAndOnlyExactTrueCounts) {
    auto node = KVPropertyNode::create("Tools");
    auto views = node->addChild("Views");
    auto meter = views->addChild("Meter");
    meter->addChild("HasUI", "true");
    meter->addChild("SupportsFilesDragDrop", "yes");
    meter->addChild("DefaultAction", "Reset");
    auto graph = views->addChild("Graph");
    graph->addChild("HasUI", "True");
    auto actions = node->addChild("Actions");
    actions->addChild("Reset")->addChild("DefaultView", "Meter");

    KVPluginRegistry registry;
    registry.add(KVPluginInfo::fromNode(*node));
    const auto plugin = registry.find("Tools");
    ASSERT_TRUE(plugin);
    const auto& list = plugin->subPlugins(KVSubPluginKind::View);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->SubPluginID, "Meter");
    EXPECT_TRUE(list[0]->hasPanel);
    EXPECT_FALSE(list[0]->acceptsFiles);
    EXPECT_EQ(list[0]->pairedId, "Reset");
    EXPECT_FALSE(registry.findView("Tools", "Graph")->hasPanel);
    EXPECT_EQ(registry.findAction("Tools", "Reset")->pairedId, "Meter");
    EXPECT_FALSE(registry.findAction("Tools", "Meter"));
    EXPECT_FALSE(registry.findCondition("Nobody", "Meter"));
    EXPECT_TRUE(plugin->loadError().empty());

    // Adding again replaces and moves to the end.
    plugin->addSubPlugin(KVSubPluginKind::View, KVSubPluginInfo::fromNode(*meter, KVSubPluginKind::View));
    EXPECT_EQ(list.back()->SubPluginID, "Meter");
    EXPECT_EQ(list.size(), 2u);
}

TEST(PluginTextTest, CopiesAtMost512CharactersWithoutSplittingOne) {
    char buffer[CORVANE_PLUGIN_BUFFER_SIZE];
    std::memset(buffer, 'x', sizeof buffer);
    corvane::plugins::copyToPluginBuffer("Uhr \xC3\xBC", buffer);
    EXPECT_STREQ(buffer, "Uhr \xC3\xBC");

    // Four-byte characters: 512 of them would leave no room for the terminator, so 511 go in.
    std::string wide;
    for (int i = 0; i < 600; ++i)
        wide += "\xF0\x9F\x95\x90";
    corvane::plugins::copyToPluginBuffer(wide, buffer);
    EXPECT_EQ(std::strlen(buffer), 511u * 4);

    // 511 plain characters and then a two-byte one: the 512th character is taken whole.
    std::string mixed(511, 'a');
    mixed += "\xC3\xA9\xC3\xA9";
    corvane::plugins::copyToPluginBuffer(mixed, buffer);
    EXPECT_EQ(std::string(buffer), std::string(511, 'a') + "\xC3\xA9");

    // Broken text ends where it breaks.
    corvane::plugins::copyToPluginBuffer("ok\xC3(", buffer);
    EXPECT_STREQ(buffer, "ok");
}

} // namespace
