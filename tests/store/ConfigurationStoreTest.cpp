#include "store/ConfigurationStore.h"

#include "images/KVImage.h"
#include "store/FileTree.h"
#include "store/PropertyListReader.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace corvane;

namespace {

using CallLog = std::vector<std::string>;

// Plays any of the four controllers, noting each call in a log shared by all of them.
struct FakeController : IKVLayerCakeConfiguration, IKVPluginRegistryConfiguration, IKVSettingsConfiguration {
    FakeController(CallLog& log, std::string node) : log(log), node(std::move(node)) {}
    void loadLayers(const KVPtr<KVPropertyNode>& layers) override { take("load", layers); }
    void fillRegistry(const KVPtr<KVPropertyNode>& root) override { take("fill", root->findChild(node)); }
    void loadSettings(const KVPtr<KVPropertyNode>& root) override { take("load", root->findChild(node)); }
    void scanPluginFolders(const std::string& folder, KVPropertyNode& plugins) override {
        log.push_back(node + ".scan " + folder);
        plugins.addChild("com.example.clock")->addChild("DisplayName", "Clock");
    }
    void saveLayers(KVPropertyNode& root) override { saveSettings(root); }
    void saveSettings(KVPropertyNode& root) override {
        log.push_back(node + ".save");
        root.setChild(toSave);
    }
    void take(const std::string& what, KVPtr<KVPropertyNode> given) {
        log.push_back(node + "." + what);
        loaded = std::move(given);
    }

    CallLog& log;
    std::string node;
    KVPtr<KVPropertyNode> loaded, toSave;
};

KVPtr<KVImage> pictureOf(uint8_t shade) {
    auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    std::ranges::fill(image->pixels(), shade);
    image->setChanged(true);
    return image;
}

// A layer with a picture and a scan code on Escape, and a picture alone on KeypadEnter.
KVPtr<KVPropertyNode> layerNode(const std::string& id) {
    auto layer = KVPropertyNode::create(id);
    layer->addChild("DisplayName", "Games");
    auto buttons = layer->addChild("Buttons");
    auto escape = buttons->addChild("Escape");
    escape->addChild("ScanCode", "028");
    escape->addChild("Image", "Escape", pictureOf(0x40));
    buttons->addChild("KeypadEnter")->addChild("Image", "KeypadEnter", pictureOf(0x80));
    return layer;
}

KVPtr<KVPropertyNode> groupNode(const std::string& id, std::vector<KVPtr<KVPropertyNode>> items) {
    auto group = KVPropertyNode::create(id);
    group->addChild("Type", "Group");
    auto order = group->addChild("ItemOrder");
    for (auto& item : items)
        order->setChild(item);
    return group;
}

KVPtr<KVPropertyNode> settings(const std::string& name, const std::string& key, const std::string& value) {
    auto node = KVPropertyNode::create(name);
    node->addChild(key, value);
    return node;
}

struct Fixture {
    Fixture() {
        KVFolderEnvironment environment;
        environment.home = dir / "home";
        environment.tmpDir = dir.path();
        environment.programDirOverride = dir / "program";
        environment.uid = ::getuid();
        folders = std::make_unique<KVStoreFolders>(environment);
        store = std::make_unique<KVConfigurationStore>(
            *folders, KVConfigurationControllers{layerCake, &registry, device, applications},
            [](std::string_view name) { return name == "Escape" || name == "F1" || name == "KeypadEnter"; });
    }
    std::string profile() const { return folders->profileFolder(); }
    std::string layers() const { return folders->layersFolder(); }
    std::string deviceValue(const std::string& key) const {
        return loadPropertyList(profile() + "/Device.plist", "Device")->childValue(key);
    }

    TempDir dir;
    CallLog log;
    FakeController layerCake{log, "Layers"}, registry{log, "Plugins"}, device{log, "Device"},
        applications{log, "Applications"};
    std::unique_ptr<KVStoreFolders> folders;
    std::unique_ptr<KVConfigurationStore> store;
};

std::vector<std::string> childNames(const KVPtr<KVPropertyNode>& node) {
    std::vector<std::string> names;
    for (const auto& child : node->children())
        names.push_back(child->name());
    return names;
}

} // namespace

TEST(ConfigurationStore, FirstStartLoadsDefaultsAndSavesCreateTheProfile) {
    Fixture f;
    const auto root = f.store->loadConfiguration();
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"Layers", "Plugins"}));
    // The program's plug-ins first, then the user's, so a user's copy wins.
    EXPECT_EQ(f.log, (CallLog{"Plugins.scan " + f.dir / "program/Plugins",
                              "Plugins.scan " + f.dir / "home/.local/share/corvane/Plugins", "Layers.load",
                              "Plugins.fill", "Device.load", "Applications.load"}));
    EXPECT_TRUE(f.registry.loaded->findChild("com.example.clock"));
    EXPECT_FALSE(pathExists(f.profile())) << "loading writes nothing";

    // Device settings are saved alone; the layers are written only with the whole profile.
    f.log.clear();
    f.device.toSave = settings("Device", "SleepModeDelay", "9999");
    EXPECT_TRUE(f.store->saveDeviceSettings());
    EXPECT_EQ(f.log, (CallLog{"Device.save"}));
    EXPECT_FALSE(pathExists(f.layers()));
    f.device.toSave = nullptr;
    EXPECT_FALSE(f.store->saveDeviceSettings()) << "a controller that gives no node is a failure";
    EXPECT_EQ(f.deviceValue("SleepModeDelay"), "9999");

    f.log.clear();
    f.layerCake.toSave = groupNode("Layers", {});
    f.device.toSave = settings("Device", "Brightness", "5");
    f.applications.toSave = KVPropertyNode::create("Applications");
    EXPECT_TRUE(f.store->saveConfiguration());
    EXPECT_EQ(f.log, (CallLog{"Layers.save", "Device.save", "Applications.save"}));
    EXPECT_TRUE(pathExists(f.layers() + "/Group.plist"));
    EXPECT_TRUE(pathExists(f.profile() + "/Applications.plist"));
    EXPECT_EQ(f.deviceValue("Brightness"), "5");
}

// A broken document counts as absent and is rewritten; names taken from documents never leave their folder,
// neither when reading nor when writing. A save deletes stale item folders only: never plain files, files
// inside kept items, or what a link leads to.
TEST(ConfigurationStore, BrokenDocumentsCountAsAbsentAndNamesAndDeletionsNeverLeaveTheirFolder) {
    Fixture f;
    ASSERT_TRUE(ensureFolder(f.layers()));
    writeWholeFile(f.profile() + "/Device.plist", "<plist><dict><key>Brightness</key><string>3</str");
    writeWholeFile(
        f.profile() + "/Applications.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>UserApplications"
        "</key><dict><key>gimp</key><string>GIMP</string></dict></dict></plist>");
    ASSERT_TRUE(ensureFolder(f.dir / "home/outside"));
    writeWholeFile(f.dir / "home/outside/Layer.plist",
                   "<plist><dict><key>DisplayName</key><string>outside</string></dict></plist>");
    writeWholeFile(f.layers() + "/Group.plist", "<plist><dict><key>ItemOrder</key><array>"
                                                "<string>../../../outside</string><string>..</string>"
                                                "</array></dict></plist>");
    const auto root = f.store->loadConfiguration();
    EXPECT_EQ(f.device.loaded, nullptr);
    ASSERT_NE(f.applications.loaded, nullptr);
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"Layers", "Plugins", "Applications"}));
    const auto order = root->findChild("Layers")->findChild("ItemOrder");
    ASSERT_TRUE(order);
    for (const auto& item : order->children())
        EXPECT_FALSE(item->hasChildren()) << item->name() << " was read from outside the layers folder";

    f.layerCake.toSave = groupNode("Layers", {layerNode("../escaped")});
    f.device.toSave = settings("Device", "Brightness", "3");
    f.applications.toSave = f.applications.loaded;
    EXPECT_FALSE(f.store->saveConfiguration());
    EXPECT_FALSE(pathExists(f.profile() + "/escaped"));
    EXPECT_EQ(readWholeFile(f.layers() + "/Group.plist").find("escaped"), std::string::npos);
    const std::string layers = f.layers();
    for (auto sub : {"/kept/gone-inner", "/kept/inner", "/gone/deep", "/kept-layer"})
        ASSERT_TRUE(ensureFolder(layers + sub));
    writeWholeFile(layers + "/notes.txt", "mine");
    writeWholeFile(layers + "/kept-layer/Stale.png", "x");
    ASSERT_TRUE(ensureFolder(f.dir / "elsewhere"));
    writeWholeFile(f.dir / "elsewhere/keep", "precious");
    ASSERT_EQ(::symlink((f.dir / "elsewhere").c_str(), (layers + "/linked").c_str()), 0);
    ASSERT_EQ(::symlink((f.dir / "elsewhere").c_str(), (layers + "/gone/deep/link").c_str()), 0);
    ASSERT_EQ(::symlink((f.dir / "elsewhere/keep").c_str(), (layers + "/gone/filelink").c_str()), 0);
    f.layerCake.toSave =
        groupNode("Layers", {groupNode("kept", {layerNode("inner")}), KVPropertyNode::create("kept-layer")});
    EXPECT_TRUE(f.store->saveConfiguration());
    EXPECT_EQ(f.deviceValue("Brightness"), "3");
    EXPECT_FALSE(pathExists(layers + "/gone"));
    EXPECT_FALSE(pathExists(layers + "/kept/gone-inner"));
    EXPECT_TRUE(pathExists(layers + "/kept/inner/Layer.plist"));
    EXPECT_TRUE(pathExists(layers + "/kept-layer/Stale.png")) << "files inside a kept layer stay";
    EXPECT_EQ(readWholeFile(layers + "/notes.txt"), "mine");
    EXPECT_EQ(readWholeFile(f.dir / "elsewhere/keep"), "precious");
}

// Loaded as an empty group, a damaged group document would make the next save delete every item folder in
// it; the items are taken from the folders instead, so nothing the user made is lost. Pictures are files
// beside the item's document, read back for the keys that have an entry only.
TEST(ConfigurationStore, DamagedGroupDocumentKeepsItsItemsAndFailedPicturesStayChanged) {
    Fixture f;
    f.layerCake.toSave =
        groupNode("Layers", {groupNode("user_layers", {layerNode("b-layer"), layerNode("a-layer")})});
    ASSERT_TRUE(f.store->saveConfiguration());
    const std::string userLayers = f.layers() + "/user_layers";
    writeWholeFile(userLayers + "/Group.plist", "<plist><dict><key>ItemOrder</key><array><stri");
    ASSERT_TRUE(ensureFolder(userLayers + "/not-an-item"));
    EXPECT_EQ(readWholeFile(userLayers + "/a-layer/Layer.plist").find("Image"), std::string::npos);
    writeWholeFile(userLayers + "/a-layer/F1.png", readWholeFile(userLayers + "/a-layer/Escape.png"));

    f.store->loadConfiguration();
    const auto group = f.layerCake.loaded->findChild("ItemOrder")->findChild("user_layers");
    ASSERT_TRUE(group);
    EXPECT_EQ(childNames(group->findChild("ItemOrder")), (std::vector<std::string>{"a-layer", "b-layer"}));
    const auto aLayer = group->findChild("ItemOrder")->findChild("a-layer");
    EXPECT_EQ(aLayer->childValue("DisplayName"), "Games");
    const auto buttons = aLayer->findChild("Buttons");
    EXPECT_EQ(childNames(buttons), (std::vector<std::string>{"Escape", "KeypadEnter"})) << "F1 has no entry";
    ASSERT_TRUE(buttons->findChild("Escape")->childImage("Image"));
    EXPECT_TRUE(buttons->findChild("Escape")->childImage("Image")->samePixels(*pictureOf(0x40)));

    f.layerCake.toSave = f.layerCake.loaded;
    f.layerCake.toSave->setName("Layers");
    ASSERT_TRUE(f.store->saveConfiguration());
    EXPECT_TRUE(pathExists(userLayers + "/a-layer/Escape.png"));
    EXPECT_TRUE(pathExists(userLayers + "/b-layer/Layer.plist"));
    EXPECT_NE(loadPropertyList(userLayers + "/Group.plist", "g"), nullptr);

    // A picture whose file could not be written stays changed, so the next save tries again.
    struct PngFails : KVFileSystem {
        int renameFile(const std::string& from, const std::string& to) override {
            return to.ends_with(".png") ? (errno = EIO, -1) : KVFileSystem::renameFile(from, to);
        }
    } failing;
    const auto picture = buttons->findChild("Escape")->childImage("Image");
    picture->setChanged(true);
    EXPECT_FALSE(saveItemFolder(userLayers, *aLayer, false, failing));
    EXPECT_TRUE(picture->isChanged()) << "the next save must try again";
    EXPECT_TRUE(pathExists(userLayers + "/a-layer/Layer.plist"));
}
