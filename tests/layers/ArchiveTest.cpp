#include "LayersFixture.h"
#include "ZipBuilder.h"
#include "layers/LayerArchive.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace corvane::layers;

namespace {

// A group holding a layer with a picture and a caption, and a subgroup with one more layer.
KVPtr<KVLayersGroup> sampleGroup() {
    auto top = makeLayer("{11111111-1111-1111-1111-111111111111}");
    top->binding(keyIndex("Escape")).image = solidPicture(0x40);
    top->binding(keyIndex("A")).keystroke = "ctrl+a";
    auto inner = makeLayer("inner-layer");
    inner->binding(keyIndex("F1")).image = solidPicture(0x11);
    auto group = makeGroup("{22222222-2222-2222-2222-222222222222}", {top, makeGroup("subgroup", {inner})});
    group->setDisplayName("My group");
    return group;
}

struct ArchiveFixture : ::testing::Test {
    ArchiveFixture() {
        fs::create_directories(temporary);
        fs::create_directories(archives);
    }
    std::string archive(const std::string& name) const { return (archives / name).string(); }
    KVImportResult import(const std::string& path, const KVArchiveLimits& limits = {}) {
        return importArchive(path, temporary.string(), KVLayerLoadContext{}, limits);
    }
    // Nothing may remain of an import but the archives themselves: no staging folder, no escaped file.
    void expectNothingLeftBehind() const {
        EXPECT_TRUE(fs::is_empty(temporary)) << "a staging folder was left behind";
        for (const auto& entry : fs::recursive_directory_iterator(root.path()))
            EXPECT_TRUE(entry.path() == temporary || entry.path() == archives ||
                        entry.path().parent_path() == archives)
                << entry.path() << " was written outside the staging folder";
    }

    TempDir root;
    fs::path temporary = root.path() / "temp";
    fs::path archives = root.path() / "archives";
};

const KVLayer& layerAt(const KVLayersItem& group, size_t index) {
    return dynamic_cast<const KVLayer&>(*group.children().items().at(index));
}

} // namespace

TEST_F(ArchiveFixture, ExportedGroupComesBackWithItsContentUnderANewIdentifier) {
    const auto original = sampleGroup();
    auto& live = *layerAt(*original, 0).binding(0).image;
    live.setSourcePath("/profile/Escape.png");
    ASSERT_TRUE(exportItem(*original, archive("group.layers"), temporary.string()));
    EXPECT_FALSE(live.isChanged()) << "the export leaves the live pictures as they were";
    EXPECT_EQ(live.sourcePath(), "/profile/Escape.png");
    // An unwritable place or no staging folder fails and leaves nothing.
    EXPECT_FALSE(exportItem(*original, (root.path() / "missing/x.layers").string(), temporary.string()));
    EXPECT_FALSE(exportItem(*original, archive("x.layers"), ""));

    const auto first = import(archive("group.layers"));
    const auto second = import(archive("group.layers"));
    ASSERT_TRUE(first && second) << first.error;
    expectNothingLeftBehind();
    const auto& item = *first.item;
    ASSERT_TRUE(item.isGroup());
    EXPECT_EQ(item.displayName(), "My group");
    EXPECT_NE(item.identifier(), original->identifier());
    EXPECT_NE(item.identifier(), second.item->identifier());
    ASSERT_EQ(item.children().size(), 2u);
    EXPECT_EQ(item.children().items()[1]->identifier(), "subgroup");

    const auto& top = layerAt(item, 0);
    const auto& escape = top.binding(keyIndex("Escape"));
    ASSERT_TRUE(escape.image);
    EXPECT_TRUE(escape.image->samePixels(*solidPicture(0x40)));
    EXPECT_TRUE(escape.image->isChanged()) << "the next save must write imported pictures";
    EXPECT_TRUE(escape.image->sourcePath().empty()) << "the staging folder is gone";
    EXPECT_EQ(top.binding(keyIndex("A")).keystroke, "ctrl+a");
    EXPECT_TRUE(layerAt(*item.children().items()[1], 0)
                    .binding(keyIndex("F1"))
                    .image->samePixels(*solidPicture(0x11)));
}

// Every archive of the hostile set is refused with its reason, writes nothing outside the staging folder
// and leaves no staging folder behind.
TEST_F(ArchiveFixture, HostileArchivesAreRefusedWithTheirReason) {
    const std::string outside = (root.path() / "evil").string();
    const std::string plist = "<plist version=\"1.0\"><dict/></plist>";
    struct Entry {
        std::string name, content;
        unsigned mode = S_IFREG | 0644;
    };
    struct Case {
        std::string name, reason;
        std::vector<Entry> entries; // a zip of these, unless `build` makes the file
        std::function<void(const std::string&)> build = {};
    };
    std::string deep;
    for (int i = 0; i < 70; ++i)
        deep += "d/";
    std::vector<Entry> many;
    for (int i = 0; i < 40; ++i)
        many.push_back({"f" + std::to_string(i), std::string(64 << 10, 'a')});
    const std::vector<Case> cases = {
        {"traversal", "climbs out", {{"Layer.plist", plist}, {"../../evil", "x"}}},
        {"nested traversal", "climbs out", {{"a/b/../../../../evil", "x"}, {"Layer.plist", plist}}},
        // "./a/./b" is the same place as "a/b": the second must not overwrite the first.
        {"named twice", "named twice", {{"Layer.plist", plist}, {"a/b", "first"}, {"./a/./b", "second"}}},
        {"backslash traversal", "climbs out", {{"..\\..\\evil", "x"}}},
        {"absolute", "absolute", {{outside, "x"}}},
        {"drive letter", "absolute", {{"C:\\evil", "x"}}},
        {"symlink", "symbolic link", {{"Layer.plist", plist}, {"link", outside, S_IFLNK | 0777}}},
        {"device", "device", {{"dev", "", S_IFCHR | 0666}}},
        {"not utf-8", "UTF-8", {{"Esc\xff\xfe.png", "x"}}},
        {"too deep", "nested deeper", {{deep + "f", "x"}}},
        {"bomb", "more than 1 MiB", {{"Layer.plist", std::string(8 << 20, '\0')}}},
        {"bomb in many entries", "more than 1 MiB", many},
        {"no item", "neither Group.plist nor Layer.plist", {{"readme.txt", "hello"}, {"a/", ""}, {"b/", ""}}},
        {"too many entries", "100000 entries", {}, [](auto& p) { writeManyEmptyEntries(p, 100'000); }},
        {"not a zip",
         "not a readable zip",
         {},
         [](auto& p) { writeWholeFile(p, "<plist>no archive</plist>"); }},
        {"truncated",
         "not a readable zip",
         {},
         [&](auto& p) {
             ASSERT_TRUE(exportItem(*sampleGroup(), p, temporary.string()));
             fs::resize_file(p, fs::file_size(p) / 2);
         }},
    };
    KVArchiveLimits limits;
    limits.maxTotalBytes = 1 << 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = archive(c.name + ".layers");
        if (c.build) {
            c.build(path);
        } else {
            ZipBuilder zip(path);
            for (const auto& e : c.entries)
                e.name.ends_with('/') ? zip.folder(e.name) : zip.file(e.name, e.content, e.mode);
            zip.close();
        }
        const auto result = import(path, limits);
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << result.error;
        expectNothingLeftBehind();
    }
}

TEST_F(ArchiveFixture, DamagedDataAndInconsistentDirectoriesAreRefused) {
    const std::string path = archive("layer.layers");
    ZipBuilder(path).file("Layer.plist", std::string(4000, 'p')).close();
    const std::string intact = readWholeFile(path);
    const auto local = intact.find("Layer.plist");
    // The local header's name no longer matches the central directory's; the compressed data no longer
    // matches its checksum.
    for (const auto at : {local, local + 20}) {
        std::string bytes = intact;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
        writeWholeFile(path, bytes);
        EXPECT_FALSE(import(path)) << at - local;
    }
    expectNothingLeftBehind();
}

TEST_F(ArchiveFixture, PicturesOfAnotherSizeBecomeBlackKeys) {
    const std::string plist = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Buttons</key><dict>"
                              "<key>Escape</key><dict/><key>F1</key><dict/></dict></dict></plist>";
    KVImage large(3000, 2000);
    large.pixels()[0] = 0xFF;
    const auto largePng = large.encodePng();
    const auto keyPng = solidPicture(0x42)->encodePng();
    ZipBuilder(archive("sizes.layers"))
        .file("Layer.plist", plist)
        .file("Escape.png", std::string(largePng.begin(), largePng.end()))
        .file("F1.png", std::string(keyPng.begin(), keyPng.end()))
        .close();
    const auto result = import(archive("sizes.layers"));
    ASSERT_TRUE(result) << result.error;
    const auto& layer = dynamic_cast<const KVLayer&>(*result.item);
    ASSERT_TRUE(layer.binding(keyIndex("Escape")).image);
    EXPECT_TRUE(layer.binding(keyIndex("Escape")).image->samePixels(*solidPicture(0)));
    EXPECT_TRUE(layer.binding(keyIndex("F1")).image->samePixels(*solidPicture(0x42)));
}
