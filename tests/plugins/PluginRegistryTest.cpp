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

TEST(PluginRegistryTest, ScanningReadsDescriptionsAndTheLaterFolderWinsAClash) {
    TempDir program;
    TempDir user;
    writeInfo(program.path() / "Clock", pluginDict("Clock", "Program clock"));
    writeInfo(program.path() / "Broken", "<dict><key>Broken</key><dict>");
    writeInfo(program.path() / "Empty", "<dict/>");
    std::filesystem::create_directories(program.path() / "NoDescription");
    // Sub-plug-ins keep their order and only an exact "true" counts for the panel and dropped files.
    writeInfo(program.path() / "Tools",
              pluginDict("Tools", "Tools",
                         "<key>Views</key><dict><key>Meter</key><dict><key>HasUI</key><string>true</string>"
                         "<key>SupportsFilesDragDrop</key><string>yes</string><key>DefaultAction</key>"
                         "<string>Reset</string></dict><key>Graph</key><dict><key>HasUI</key><string>True"
                         "</string></dict></dict><key>Actions</key><dict><key>Reset</key><dict>"
                         "<key>DefaultView</key><string>Meter</string></dict></dict>"));
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
    const auto tools = registry.find("Tools");
    ASSERT_TRUE(tools);
    EXPECT_EQ(tools->libraryPath(), (program.path() / "Tools" / "Tools.so").string());
    EXPECT_TRUE(tools->loadError().empty());

    const auto& views = tools->subPlugins(KVSubPluginKind::View);
    ASSERT_EQ(views.size(), 2u);
    EXPECT_EQ(views[0]->SubPluginID, "Meter");
    EXPECT_TRUE(views[0]->hasPanel);
    EXPECT_FALSE(views[0]->acceptsFiles);
    EXPECT_EQ(views[0]->pairedId, "Reset");
    EXPECT_FALSE(registry.findView("Tools", "Graph")->hasPanel);
    EXPECT_EQ(registry.findAction("Tools", "Reset")->pairedId, "Meter");
    EXPECT_FALSE(registry.findAction("Tools", "Meter"));
    EXPECT_FALSE(registry.findCondition("Nobody", "Meter"));
    // Adding again replaces and moves to the end.
    tools->addSubPlugin(KVSubPluginKind::View, std::make_shared<KVSubPluginInfo>(*views[0]));
    EXPECT_EQ(views.back()->SubPluginID, "Meter");
    EXPECT_EQ(views.size(), 2u);
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
    corvane::plugins::copyToPluginBuffer(std::string(511, 'a') + "\xC3\xA9\xC3\xA9", buffer);
    EXPECT_EQ(std::string(buffer), std::string(511, 'a') + "\xC3\xA9");

    // Broken text ends where it breaks.
    corvane::plugins::copyToPluginBuffer("ok\xC3(", buffer);
    EXPECT_STREQ(buffer, "ok");
}

} // namespace
