#include "TestFolder.h"
#include "device/DeviceFileSet.h"

#include <gtest/gtest.h>

using namespace corvane::device;
using namespace std::chrono_literals;

namespace {

std::vector<uint8_t> solidPicture(uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> pixels(kPixels24Size);
    for (size_t i = 0; i < pixels.size(); i += 3)
        pixels[i] = b, pixels[i + 1] = g, pixels[i + 2] = r;
    return pixels;
}

std::unique_ptr<KVDeviceFileSet> buildMain(const TestKeyboardFolder& folder) {
    return KVDeviceFileSet::build(folder.root(), KeyboardModelMain, 512);
}

// The main keyboard's file set over a fresh keyboard folder.
struct FileSetTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(set); }
    TestKeyboardFolder folder;
    std::unique_ptr<KVDeviceFileSet> set = buildMain(folder);
};

} // namespace

TEST(FileSet, OnlyAKeyboardsVersionAndSectorSizeGiveTheListOfSectorRoundedEntries) {
    TestKeyboardFolder folder("");
    folder.write("vTavirex/version.sys", {0, 'T', 'a'});
    EXPECT_FALSE(buildMain(folder));
    // The text ends at its zero, or at the file's end rather than the fill behind it.
    for (const std::vector<uint8_t>& text : {std::vector<uint8_t>{'T', 'a', 'v', 0, 'x'}, {'T', 'a', 'v'}}) {
        folder.write("vTavirex/version.sys", text);
        auto set = buildMain(folder);
        ASSERT_TRUE(set);
        EXPECT_EQ(set->versionText(), "Tav");
    }
    EXPECT_FALSE(KVDeviceFileSet::build(folder.root(), KeyboardModelMain, 0));
    EXPECT_FALSE(KVDeviceFileSet::build(folder.root(), KeyboardModelMain, 500));

    auto set = buildMain(folder);
    ASSERT_EQ(set->entryCount(), 118u);
    EXPECT_EQ(set->entry(117).path(), folder.root() + "vTavirex/dynamic/114.sys");
    for (unsigned i = 0; i < set->entryCount(); ++i)
        EXPECT_TRUE(!set->entry(i).hasBuffers() || uintptr_t(set->entry(i).pendingBuffer()) % 512 == 0) << i;
    auto keypad = KVDeviceFileSet::build(folder.root(), KeyboardModelKeypad, 4096);
    ASSERT_TRUE(keypad);
    EXPECT_EQ(keypad->entryCount(), 19u);
    EXPECT_EQ(keypad->entry(4).length(), 8192u);
}

TEST(FileSet, TheKeyboardsTableIsReadFromVersion062On) {
    std::vector<uint8_t> onKeyboard(9216, 0xFF);
    onKeyboard[7 * 64] = 1; // slot 8: Escape
    onKeyboard[7 * 64 + 1] = 0x29;
    TestKeyboardFolder current("TavirexV0.62b"), older("TavirexV0.62a"), shortTable("TavirexV0.80");
    current.write("vTavirex/scancode.sys", onKeyboard);
    older.write("vTavirex/scancode.sys", onKeyboard);
    shortTable.write("vTavirex/scancode.sys", {1, 0x29});

    // Restoring the table found is checked where the device gives the keyboard back.
    ASSERT_TRUE(buildMain(current)->hasFoundTable());
    auto set = buildMain(older); // nothing to restore, and the keyboard's table is left alone
    ASSERT_TRUE(set);
    EXPECT_FALSE(set->hasFoundTable());
    EXPECT_EQ(std::count(set->currentTable().begin(), set->currentTable().end(), 0xFF), 9216);
    EXPECT_FALSE(set->restoreKeyCodes());
    set->flushFiles({});
    EXPECT_EQ(set->totalWrites(), 0u);

    // A table too short on the keyboard: the missing records send nothing. A missing table is none.
    set = buildMain(shortTable);
    ASSERT_TRUE(set && set->hasFoundTable());
    EXPECT_EQ(set->foundTable()[1], 0x29);
    EXPECT_EQ(set->foundTable()[9215], 0xFF);
    std::filesystem::remove(shortTable.path() / "vTavirex/scancode.sys");
    EXPECT_FALSE(buildMain(shortTable)->hasFoundTable());
}

TEST(FileSet, PausesAfterTheTableOnlyForOldFirmware) {
    for (const auto& [version, expected] :
         {std::pair<std::string, size_t>{"TavirexV0.76a", 1}, {"TavirexV0.76b", 0}, {"TavirexV0.90", 0}}) {
        TestKeyboardFolder folder(version);
        auto set = buildMain(folder);
        ASSERT_TRUE(set);
        std::vector<std::chrono::milliseconds> pauses;
        const auto pause = [&](std::chrono::milliseconds ms) { pauses.push_back(ms); };
        set->setKeyCode(1, 0x3A);
        set->setDisplaysActive(true);
        set->flushFiles(pause);
        set->flushFiles(pause); // nothing written, nothing to wait for
        EXPECT_EQ(pauses, std::vector<std::chrono::milliseconds>(expected, 300ms)) << version;
    }
}

TEST_F(FileSetTest, UnchangedContentsNeverReachTheDisk) {
    const auto picture = solidPicture(0x20, 0x40, 0x80), red = solidPicture(0xFF, 0, 0);
    for (int round = 0; round < 2; ++round) { // the second round stages the same again
        for (unsigned key = 0; key < 113; ++key) {
            set->stageKeyImage(key, picture, 3);
            set->setKeyCode(key, modelDescriptor(0).keys[key].keyCode);
        }
        set->setDisplaysActive(true);
        set->flushFiles({});
        EXPECT_EQ(set->totalWrites(), 113u + 2u); // every key's display, the table and the map
    }
    // Display 7 has an entry but no key: never staged, never opened.
    EXPECT_FALSE(set->entry(4 + 6).isOpen());
    EXPECT_FALSE(folder.exists("vTavirex/dynamic/007.sys"));
    EXPECT_TRUE(folder.exists("vTavirex/dynamic/006.sys"));

    // One key changes: one image is written, whole.
    set->stageKeyImage(0, red, 3);
    set->flushFiles({});
    EXPECT_EQ(set->totalWrites(), 116u);
    const auto escape = folder.read("vTavirex/dynamic/099.sys");
    ASSERT_EQ(escape.size(), 4608u);
    EXPECT_EQ(escape[0], 0xF8);
    EXPECT_EQ(escape[4607], 0x00);
    // Staged back and forth before the writer runs: the last contents, written only if they differ.
    set->stageKeyImage(0, picture, 3);
    set->stageKeyImage(0, red, 3);
    set->flushFiles({});
    EXPECT_EQ(set->totalWrites(), 116u);
    const auto layout = folder.read("vTavirex/layout.sys");
    ASSERT_EQ(layout.size(), 512u);
    EXPECT_EQ(std::count(layout.begin(), layout.begin() + 114, 0x01), 114);
}

TEST_F(FileSetTest, CommandsAreWrittenOneByOneAndOnlyWhenNew) {
    const auto commandWritesAfter = [&](std::initializer_list<const char*> commands) {
        for (const char* command : commands)
            set->queueCommand(command);
        set->flushFiles({});
        return set->entry(KVDeviceFileSet::CommandEntry).writeCount();
    };
    EXPECT_EQ(commandWritesAfter({"b100", "b100"}), 1u);
    EXPECT_EQ(commandWritesAfter({"b100"}), 1u);
    EXPECT_EQ(commandWritesAfter({"s0420", "b100"}), 3u);
    const auto order = folder.read("vTavirex/order.sys");
    ASSERT_EQ(order.size(), 512u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(order.data())), "b100");
}

TEST_F(FileSetTest, StagingOutsideTheListAndShortFirmwareAreRefused) {
    const std::vector<uint8_t> bytes(4609, 1);
    EXPECT_FALSE(set->stageFile(118, std::span(bytes).first(10)));
    EXPECT_FALSE(set->stageFile(3, std::span(bytes).first(10))); // no firmware buffers yet
    EXPECT_FALSE(set->stageFile(4, bytes));                      // above the rounded length
    EXPECT_TRUE(set->stageFile(4, std::span(bytes).first(4608)));
    EXPECT_FALSE(set->stageKeyImage(113, solidPicture(1, 2, 3), 3));
    EXPECT_FALSE(set->setKeyCode(113, 4).has_value());

    std::vector<uint8_t> image(655360 - 1, 0xAB);
    EXPECT_FALSE(set->stageFirmware(image));
    EXPECT_FALSE(set->entry(3).hasBuffers());
    image.push_back(0xCD);
    EXPECT_TRUE(set->stageFirmware(image));
    set->flushFiles({});
    EXPECT_EQ(folder.read("vTavirex/upgrade.bin"), image);
}

TEST_F(FileSetTest, FileThatCannotBeOpenedOrWrittenStaysChangedAndIsRetried) {
    std::filesystem::remove_all(folder.path() / "vTavirex/dynamic");
    set->stageKeyImage(1, solidPicture(9, 9, 9), 3);
    set->flushFiles({});
    EXPECT_TRUE(set->entry(4 + 99).isChanged());
    std::filesystem::create_directories(folder.path() / "vTavirex/dynamic");

    // Every write to /dev/full fails with "no space left".
    std::filesystem::create_symlink("/dev/full", folder.path() / "vTavirex/dynamic/099.sys");
    const auto red = solidPicture(0xFF, 0, 0);
    EXPECT_TRUE(set->stageKeyImage(0, red, 3));
    set->flushFiles({});
    EXPECT_EQ(set->totalWrites(), 1u); // only F1's display, opened at last
    // The device may hold a torn file: the same picture is still pending, so staging it again is no news,
    // and the next wake-up writes it again.
    EXPECT_TRUE(set->entry(4 + 98).isChanged());
    EXPECT_FALSE(set->stageKeyImage(0, red, 3));
    std::filesystem::remove(folder.path() / "vTavirex/dynamic/099.sys");
    set->flushFiles({});
    EXPECT_EQ(set->totalWrites(), 2u);
    EXPECT_EQ(folder.read("vTavirex/dynamic/099.sys")[0], 0xF8);
}
