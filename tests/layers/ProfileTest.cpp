#include "LayersFixture.h"
#include "store/ConfigurationStore.h"
#include "store/FileTree.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <unistd.h>

using namespace corvane::layers;

namespace {

struct NoPlugins final : IKVPluginRegistryConfiguration {
    void scanPluginFolders(const std::string&, KVPropertyNode&) override {}
    void fillRegistry(const KVPtr<KVPropertyNode>&) override {}
};
struct NoSettings final : IKVSettingsConfiguration {
    void loadSettings(const KVPtr<KVPropertyNode>&) override {}
    void saveSettings(KVPropertyNode&) override {}
};

// One start of the program against a profile: load, set up, start; later close the editor and save.
struct Session : LayersStackFixture {
    explicit Session(const TempDir& dir) {
        KVFolderEnvironment folderEnvironment;
        folderEnvironment.configHome = dir / "config";
        folderEnvironment.tmpDir = dir.path();
        folderEnvironment.programDirOverride = std::string(CORVANE_BIN_DIR) + "/../lib/corvane";
        folderEnvironment.uid = ::getuid();
        folders = std::make_unique<KVStoreFolders>(folderEnvironment);
        store = std::make_unique<KVConfigurationStore>(
            *folders, KVConfigurationControllers{cake, &registry, device, applications}, keyNamePredicate());
        store->loadConfiguration();
        cake.setUpUserLayers(folders->programFolder());
        cake.setUpSystemLayers(folders->programFolder());
        keyboard.setOpen(true);
        controller.Start();
    }
    bool closeEditorAndSave() {
        controller.EditorClosed();
        const bool saved = store->saveConfiguration();
        controller.ConfigurationSaved();
        return saved;
    }
    KVPtr<KVLayersItem> userItem(const std::string& id) const {
        return cake.userLayers()->children().find(id);
    }
    NoPlugins registry;
    NoSettings device, applications;
    std::unique_ptr<KVStoreFolders> folders;
    std::unique_ptr<KVConfigurationStore> store;
};

constexpr const char* kMine = "{0123ABCD-0000-0000-0000-000000000001}";
constexpr const char* kGroup = "{0123ABCD-0000-0000-0000-000000000002}";
constexpr const char* kInner = "{0123ABCD-0000-0000-0000-000000000003}";

// A fresh profile given a layer with a picture, a code and a plug-in, and a group holding another layer.
void storeUsersLayers(const TempDir& dir) {
    Session first(dir);
    auto mine = makeLayer(kMine);
    auto picture = solidPicture(0x33);
    picture->setChanged(true);
    mine->binding(keyIndex("Escape")).image = picture;
    mine->binding(keyIndex("Escape")).scanCode = 28;
    first.bindAction(*mine, keyIndex("F1"), "launcher");
    auto inner = makeLayer(kInner);
    inner->binding(keyIndex("F2")).keystroke = "two";
    first.cake.userLayers()->items().insert(0, mine);
    first.cake.userLayers()->items().insert(1, makeGroup(kGroup, {inner}));
    ASSERT_TRUE(first.closeEditorAndSave());
}

// Every file of the profile by its relative path, with its bytes. Conditions are stored under keys made
// afresh at every save (nothing reads them), so those keys alone are blanked out.
std::map<std::string, std::string> profileFiles(const TempDir& dir) {
    static const std::regex conditionKey("<key>\\{[0-9A-F-]{36}\\}</key>");
    std::map<std::string, std::string> files;
    const auto root = std::filesystem::path(dir / "config/TavirexCorvane");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file())
            continue;
        auto bytes = readWholeFile(entry.path().string());
        if (entry.path().extension() == ".plist")
            bytes = std::regex_replace(bytes, conditionKey, "<key>condition</key>");
        files[std::filesystem::relative(entry.path(), root).string()] = bytes;
    }
    return files;
}

TEST(ProfileTest, EditsDoneAndUndoneLeaveTheSavedProfileByteForByte) {
    TempDir dir;
    storeUsersLayers(dir);
    Session session(dir);
    ASSERT_TRUE(session.closeEditorAndSave());
    const auto before = profileFiles(dir);
    ASSERT_TRUE(before.count("Layers/user_layers/" + std::string(kMine) + "/Escape.png"));

    auto& edit = session.controller.Editing();
    const auto user = session.cake.userLayers();
    const auto mine = std::static_pointer_cast<KVLayer>(session.userItem(kMine));
    const auto group = session.userItem(kGroup);
    const auto inner = std::static_pointer_cast<KVLayer>(group->children().find(kInner));
    const unsigned escape = keyIndex("Escape"), f1 = keyIndex("F1"), f2 = keyIndex("F2");
    session.controller.ShowForEditing(mine);
    auto fresh = edit.NewLayer(user, mine);
    ASSERT_TRUE(edit.CopyBinding(mine->binding(escape), fresh, f2));
    ASSERT_TRUE(edit.NewGroup(nullptr, nullptr));
    ASSERT_TRUE(edit.Rename(mine, "Renamed"));
    ASSERT_TRUE(edit.SwapBindings(mine, escape, inner, f2));
    ASSERT_TRUE(edit.Move(mine, group, nullptr));
    ASSERT_TRUE(edit.Disable(group));
    ASSERT_TRUE(edit.PushBinding(fresh, escape));
    ASSERT_TRUE(edit.SetKeyImage(inner, f1, solidPicture(0x44)));
    ASSERT_TRUE(edit.SetKeyCode(mine, escape, 30, 0));
    ASSERT_TRUE(edit.SetViewPlugin(inner, escape, "clock", "digital"));
    const unsigned keys[] = {escape, f1, f2};
    ASSERT_TRUE(edit.ClearBindings(inner, keys));
    ASSERT_TRUE(edit.Delete(group));
    ASSERT_EQ(edit.history().count(), 13u);

    // All the way back, forth again, and back.
    while (edit.Undo())
        ;
    while (edit.Redo())
        ;
    while (edit.Undo())
        ;
    ASSERT_TRUE(session.closeEditorAndSave());
    EXPECT_FALSE(edit.CanUndo()) << "saving ends the history";
    const auto after = profileFiles(dir);
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [path, bytes] : before) {
        const auto found = after.find(path);
        ASSERT_NE(found, after.end()) << path << " is gone";
        EXPECT_EQ(found->second, bytes) << path << " differs";
    }
}

// The shipped items are stored with the user's; at the next start the user's layers come first and win
// over the shipped captions, and a layer moved to another group takes all its pictures along.
TEST(ProfileTest, TheUsersLayersKeepTheirPicturesAcrossStartsAndMovesEvenUnreadableOnes) {
    TempDir dir;
    storeUsersLayers(dir);
    const std::string layers = dir / "config/TavirexCorvane/Layers";
    EXPECT_TRUE(corvane::pathExists(layers + "/user_layers/default_buttons/L1.png"));
    const std::string oldFolder = layers + "/user_layers/" + kMine;
    // A picture this version cannot decode is still the user's file.
    writeWholeFile(oldFolder + "/F3.png", "not a picture");
    {
        Session session(dir);
        EXPECT_EQ(session.cake.userLayers()->children().items().back()->identifier(), "default_buttons")
            << "shipped items last";
        const auto mine = std::static_pointer_cast<KVLayer>(session.userItem(kMine));
        mine->binding(keyIndex("F3")).image = std::make_shared<KVImage>();
        mine->binding(keyIndex("F3")).image->setSourcePath(oldFolder + "/F3.png");
        ASSERT_TRUE(session.controller.Editing().Move(mine, session.userItem(kGroup), nullptr));
        ASSERT_TRUE(session.closeEditorAndSave());
    }
    EXPECT_FALSE(corvane::pathExists(oldFolder));
    EXPECT_EQ(readWholeFile(layers + "/user_layers/" + kGroup + "/" + kMine + "/F3.png"), "not a picture");

    Session again(dir);
    ASSERT_TRUE(again.userItem(kGroup)->children().find(kMine));
    const auto* escape = again.controller.DisplayBinding(keyIndex("Escape"));
    ASSERT_TRUE(escape && escape->image);
    EXPECT_EQ(escape->scanCode, 28) << "the user's picture and code win together";
    EXPECT_TRUE(escape->image->samePixels(*solidPicture(0x33)));
    // The shipped captions still show where the user bound nothing; pictures read are not written again.
    const auto* f4 = again.controller.DisplayBinding(keyIndex("F4"));
    ASSERT_TRUE(f4 && f4->image);
    EXPECT_EQ(f4->keystroke, "F4");
    EXPECT_FALSE(f4->image->isChanged());
}

} // namespace
