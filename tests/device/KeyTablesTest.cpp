#include "device/KeyTables.h"

#include "device/DeviceCommands.h"
#include "device/FirmwareVersion.h"
#include "device/KeyCodeTable.h"

#include <gtest/gtest.h>
#include <set>

using namespace corvane::device;

TEST(KeyTables, ModelsAsTheFirmwareNumbersThem) {
    const ModelDescriptor& main = modelDescriptor(KeyboardModelMain);
    ASSERT_EQ(main.keys.size(), 113u);
    // Every key has its own display (never 7) and its own record.
    std::set<unsigned> displays, slots;
    unsigned checksum = 0;
    for (const KeyDescriptor& key : main.keys) {
        EXPECT_NE(key.display, kMainUnusedDisplay);
        displays.insert(key.display);
        slots.insert(key.slot);
        checksum =
            checksum * 31 + key.virtualKey * 7 + key.scanCode * 5 + key.display * 3 + key.slot + key.keyCode;
    }
    EXPECT_EQ(displays.size(), 113u);
    EXPECT_EQ(slots.size(), 113u);
    // Guards every number of the table against an accidental edit.
    EXPECT_EQ(checksum, 3003477966u);

    const ModelDescriptor& keypad = modelDescriptor(KeyboardModelKeypad);
    EXPECT_EQ(modelDescriptor(7).keys.size(), 0u);
    for (unsigned display : {3u, 14u})
        EXPECT_TRUE(main.isTurned(display) && !keypad.isTurned(display)) << display;
    EXPECT_FALSE(main.isTurned(4));

    // Names on a command line: the tool's own tests cover "5" against "#5" and case; here what only the
    // table knows.
    EXPECT_EQ(findKeyByName(KeyboardModelKeypad, "a15"), 14u);
    EXPECT_EQ(keyFromArgument(KeyboardModelMain, "12x"), std::nullopt);
    EXPECT_EQ(keyFromArgument(KeyboardModelKeypad, "#15"), std::nullopt);
    EXPECT_EQ(keyForDisplay(KeyboardModelMain, 7), std::nullopt);
}

TEST(KeyCodeTable, SignatureRecords) {
    // Marker, then the low and the high digit, each pressed and released; the rest of the record empty.
    for (const auto& [key, low, high] :
         {std::tuple<unsigned, uint8_t, uint8_t>{0, 0x7E, 0x7E}, {25, 0x83, 0x81}, {112, 0x81, 0x8C}}) {
        std::vector<uint8_t> expected{0x02, 0x7A, 0x04, 0x7A, 0x02, low, 0x04, low, 0x02, high, 0x04, high};
        expected.resize(64, 0xFF);
        const KeyRecord record = keySignatureRecord(key);
        EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), expected) << key;
    }
    EXPECT_EQ(keyCodeRecord(0)[0], 0xFF);
    KeyCodeTable table;
    table.fill(0xFF);
    EXPECT_TRUE(setTableRecord(table, 144, keyCodeRecord(0x29)));
    EXPECT_EQ(table[143 * 64 + 1], 0x29);
    EXPECT_FALSE(setTableRecord(table, 0, keyCodeRecord(0x29)));
    EXPECT_FALSE(setTableRecord(table, 145, keyCodeRecord(0x29)));
}

TEST(DeviceCommands, TextsLimitsAndFirmwareVersions) {
    EXPECT_EQ(brightnessCommand(150, false), "b100");
    EXPECT_EQ(sleepCommand(20000), "s9999");
    const auto automatic = brightnessFromCommand("b070A");
    ASSERT_TRUE(automatic);
    EXPECT_TRUE(automatic->automatic);
    EXPECT_EQ(brightnessFromCommand("b999")->brightness, 100u);
    for (const char* other : {"s0420", "b10", "b1x0", "b070B", "", "b0700"})
        EXPECT_FALSE(brightnessFromCommand(other)) << other;

    EXPECT_FALSE(readsKeyCodeTable("TavirexV0.62"));
    // Ordinal, not alphabetical: upper case sorts before lower case.
    EXPECT_TRUE(pausesAfterKeyCodeTable("TAVIREXV9"));
    EXPECT_FALSE(readsKeyCodeTable("TAVIREXV9"));
}
