#include "LayersFixture.h"
#include "conditions/ModifierCondition.h"
#include "layers/ItemFolder.h"
#include "store/FileTree.h"
#include "store/PropertyNode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace corvane::layers;

namespace {

const std::string kPlistHead = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
)";
const std::string kPlistTail = "</dict>\n</plist>\n";

struct LayerStoreTest : ::testing::Test {
    KVPtr<KVLayer> loadLayer(const std::string& id) {
        return std::dynamic_pointer_cast<KVLayer>(loadItemFromFolder(dir / id, id, context));
    }
    void writeLayerDocument(const std::string& id, const std::string& body) {
        ASSERT_TRUE(corvane::ensureFolder(dir / id));
        writeWholeFile(dir / (id + "/Layer.plist"), kPlistHead + body + kPlistTail);
    }

    TempDir dir;
    RecordingPlugins plugins;
    KVLayerLoadContext context{nullptr, &plugins.factory};
};

// Other programs read these documents: the stored forms of entries, codes and empty lists are kept exactly;
// what is written comes back.
TEST_F(LayerStoreTest, WrittenDocumentsKeepTheStoredFormsAndComeBack) {
    auto layer = makeLayer("pictures");
    layer->binding(keyIndex("KeypadEnter")).image = solidPicture(0x40);
    layer->binding(keyIndex("KeypadEnter")).image->setChanged(true);
    layer->binding(keyIndex("Escape")).actionCode = 41; // an action code alone makes no binding
    layer->binding(keyIndex("A")).scanCode = 28;
    layer->binding(keyIndex("A")).actionCode = 4;
    layer->setDisplayName("Gaming");
    layer->setFlag(KV_ITEM_ENABLED, false);
    layer->setProperties(KVPropertyNode::create("Properties"));
    layer->properties()->addChild("Colour", "red");
    layer->conditions().push_back(std::make_shared<KVLockCondition>(nullptr, 16));
    layer->conditions().push_back(std::make_shared<KVModifierCondition>(nullptr, 2 | 4));
    ASSERT_TRUE(saveItemToFolder(dir.path(), *layer, false));
    const std::string document = readWholeFile(dir / "pictures/Layer.plist");
    EXPECT_NE(document.find("<key>KeypadEnter</key>\n            <dict />"), std::string::npos) << document;
    EXPECT_NE(document.find("<string>028</string>"), std::string::npos);
    EXPECT_NE(document.find("<key>ActionCode</key>\n                <string>4</string>"), std::string::npos);
    EXPECT_EQ(document.find("Escape"), std::string::npos);
    // The save cleared the mark, so the next one leaves the file alone.
    EXPECT_FALSE(layer->binding(keyIndex("KeypadEnter")).image->isChanged());
    const auto loaded = loadLayer("pictures");
    const auto& image = loaded->binding(keyIndex("KeypadEnter")).image;
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->samePixels(*solidPicture(0x40)));
    EXPECT_FALSE(image->isChanged());
    EXPECT_EQ(loaded->displayName(), "Gaming");
    EXPECT_FALSE(loaded->isEnabled());
    ASSERT_TRUE(loaded->properties());
    EXPECT_EQ(loaded->properties()->childValue("Colour"), "red");
    ASSERT_EQ(loaded->conditions().size(), 2u);
    EXPECT_EQ(loaded->conditions()[0]->Type(), "lock");

    ASSERT_TRUE(saveItemToFolder(dir.path(), *makeLayer("empty"), false));
    const std::string empty = readWholeFile(dir / "empty/Layer.plist");
    for (const char* form :
         {"<key>Conditions</key>\n        <string />", "<key>Buttons</key>\n        <string />",
          "<key>Disabled</key>\n        <false />"})
        EXPECT_NE(empty.find(form), std::string::npos) << empty;
    ASSERT_TRUE(saveItemToFolder(dir.path(), *makeGroup("lonely"), false));
    const std::string group = readWholeFile(dir / "lonely/Group.plist");
    EXPECT_NE(group.find("<key>ItemOrder</key>\n        <array />"), std::string::npos) << group;
    EXPECT_TRUE(loadItemFromFolder(dir / "lonely", "lonely", context)->isGroup());
}

// Buttons in any order load every known key exactly named; only the low byte of a scan code counts, an
// action code out of range reads as 0, and anything but "true" leaves an item enabled. (How stored numbers
// are read has its own tests.)
TEST_F(LayerStoreTest, ReadDocumentsTakeKnownKeysAndSafeNumbers) {
    writeLayerDocument("odd", R"(<key>Disabled</key><string>yes</string><key>Buttons</key><dict>
        <key>KeypadEnter</key><dict><key>Keystroke</key><string>last</string></dict>
        <key>Escape</key><dict><key>Keystroke</key><string>first</string></dict>
        <key>A</key><dict><key>ScanCode</key><string>300</string><key>Keystroke</key><string>a</string></dict>
        <key>escape</key><dict><key>Keystroke</key><string>wrong case</string></dict>
        <key>NoSuchKey</key><dict><key>Keystroke</key><string>nothing</string></dict>
        <key>B</key><dict><key>ActionCode</key><string>999</string><key>Keystroke</key><string>b</string></dict>
        </dict>)");
    const auto layer = loadLayer("odd");
    EXPECT_TRUE(layer->isEnabled());
    for (auto [name, text] : {std::pair{"KeypadEnter", "last"}, {"Escape", "first"}, {"A", "a"}, {"B", "b"}})
        EXPECT_EQ(layer->binding(keyIndex(name)).keystroke, text) << name;
    int set = 0;
    for (const auto& binding : layer->bindings())
        set += binding.isSet();
    EXPECT_EQ(set, 4);
    EXPECT_EQ(layer->binding(keyIndex("A")).scanCode, 300 & 0xFF);
    EXPECT_EQ(layer->binding(keyIndex("B")).actionCode, 0);
}

TEST_F(LayerStoreTest, GroupsLoadChildrenInOrderOnceEachAndMissingFoldersAsEmptyLayers) {
    auto inner = makeLayer("inner");
    inner->binding(keyIndex("Q")).keystroke = "q";
    auto group = makeGroup("outer", {inner, makeGroup("nested")});
    ASSERT_TRUE(saveItemToFolder(dir.path(), *group, false));
    // Name "inner" twice and a child whose folder is gone.
    std::string document = readWholeFile(dir / "outer/Group.plist");
    const std::string listed = "<string>inner</string>";
    document.replace(document.find(listed), listed.size(),
                     listed + "<string>inner</string><string>gone</string>");
    writeWholeFile(dir / "outer/Group.plist", document);

    const auto loaded = loadItemFromFolder(dir / "outer", "outer", context);
    ASSERT_EQ(loaded->children().size(), 3u);
    const auto& children = loaded->children().items();
    EXPECT_EQ(children[0]->identifier(), "inner");
    EXPECT_EQ(std::static_pointer_cast<KVLayer>(children[0])->binding(keyIndex("Q")).keystroke, "q");
    EXPECT_EQ(children[1]->identifier(), "gone");
    EXPECT_FALSE(children[1]->isGroup());
    EXPECT_TRUE(children[2]->isGroup());

    const auto missing = loadItemFromFolder(dir / "nowhere", "nowhere", context);
    EXPECT_FALSE(missing->isGroup());
}

TEST_F(LayerStoreTest, PluginEntriesAreWrittenBackUnchanged) {
    writeLayerDocument("plugged", R"(<key>Buttons</key><dict>
        <key>F5</key><dict>
            <key>ViewPlugin</key><dict>
                <key>PluginID</key><string>clock</string>
                <key>SubPluginID</key><string>analogue</string>
                <key>PluginProperties</key><dict><key>Zone</key><string>UTC</string></dict>
                <key>FutureKey</key><string>kept</string>
            </dict>
            <key>ActionPlugin</key><dict>
                <key>PluginID</key><string>launcher</string>
                <key>SubPluginID</key><string>run</string>
            </dict>
        </dict></dict>)");
    const auto layer = loadLayer("plugged");
    const auto& binding = layer->binding(keyIndex("F5"));
    ASSERT_TRUE(binding.viewPlugin && binding.actionPlugin);
    EXPECT_EQ(binding.viewPlugin->KeyIndex(), keyIndex("F5"));

    ASSERT_TRUE(saveItemToFolder(dir.path(), *layer, false));
    const auto again = loadLayer("plugged");
    const auto& view = again->binding(keyIndex("F5")).viewPlugin;
    ASSERT_TRUE(view);
    EXPECT_EQ(view->SubPluginID(), "analogue");
    EXPECT_EQ(view->Properties()->childValue("Zone"), "UTC");
    const std::string document = readWholeFile(dir / "plugged/Layer.plist");
    EXPECT_NE(document.find("<key>FutureKey</key>"), std::string::npos);
    EXPECT_EQ(document.find("<key>PluginProperties</key>"), document.rfind("<key>PluginProperties</key>"));
}

} // namespace
