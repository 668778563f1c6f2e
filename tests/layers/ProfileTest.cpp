#include "LayersFixture.h"
#include "store/ConfigurationStore.h"
#include "store/FileTree.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
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
        return store->saveConfiguration();
    }
    NoPlugins registry;
    NoSettings device;
    NoSettings applications;
    std::unique_ptr<KVStoreFolders> folders;
    std::unique_ptr<KVConfigurationStore> store;
};

TEST(ProfileTest, AFreshProfileKeepsTheShippedItemsAndTheUsersLayerAcrossStarts) {
    TempDir dir;
    {
        Session first(dir);
        ASSERT_EQ(first.cake.items().size(), 2u);
        EXPECT_EQ(first.cake.items().items()[0]->identifier(), "user_layers");
        EXPECT_TRUE(first.cake.controlButtons()->hasFlag(KV_ITEM_BUILT_IN));
        auto mine = makeLayer("{0123ABCD-0000-0000-0000-000000000001}");
        mine->binding(keyIndex("Escape")).image = solidPicture(0x33);
        mine->binding(keyIndex("Escape")).image->setChanged(true);
        mine->binding(keyIndex("Escape")).scanCode = 28;
        first.cake.userLayers()->items().insert(0, mine);
        ASSERT_TRUE(first.closeEditorAndSave());
    }
    const std::string layers = dir / "config/TavirexCorvane/Layers";
    EXPECT_TRUE(corvane::pathExists(layers + "/user_layers/default_buttons/L1.png"));
    EXPECT_TRUE(corvane::pathExists(layers +
                                    "/system_layers/control_buttons/control_buttons_caps_lock/CapsLock.png"));
    EXPECT_TRUE(
        corvane::pathExists(layers + "/user_layers/{0123ABCD-0000-0000-0000-000000000001}/Escape.png"));

    Session second(dir);
    const auto user = second.cake.userLayers();
    ASSERT_TRUE(user);
    ASSERT_EQ(user->children().size(), 2u);
    EXPECT_EQ(user->children().items().back()->identifier(), "default_buttons"); // shipped items last
    EXPECT_FALSE(user->children().items().front()->hasFlag(KV_ITEM_BUILT_IN));
    EXPECT_EQ(second.cake.systemLayers()->children().size(), 1u);
    // The user's layer wins over the shipped captions for Escape, picture and code together.
    const auto* escape = second.controller.DisplayBinding(keyIndex("Escape"));
    ASSERT_TRUE(escape && escape->image);
    EXPECT_EQ(escape->scanCode, 28);
    EXPECT_TRUE(escape->image->samePixels(*solidPicture(0x33)));
    // The shipped captions still show where the user bound nothing.
    const auto* f1 = second.controller.DisplayBinding(keyIndex("F1"));
    ASSERT_TRUE(f1);
    EXPECT_EQ(f1->keystroke, "F1");
    // Pictures read from the profile are not written again.
    EXPECT_FALSE(f1->image->isChanged());
}

} // namespace
