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
    for (unsigned display : {3u, 14u}) {
        EXPECT_TRUE(main.isTurned(display));
        EXPECT_FALSE(keypad.isTurned(display));
    }
    EXPECT_FALSE(main.isTurned(4));
}

// The tool's own tests cover names, "5" against "#5" and case; here what only the table knows.
TEST(KeyTables, KeysNamedOnACommandLine) {
    EXPECT_EQ(findKeyByName(KeyboardModelKeypad, "a15"), 14u);
    EXPECT_EQ(keyFromArgument(KeyboardModelMain, "12x"), std::nullopt);
    EXPECT_EQ(keyFromArgument(KeyboardModelKeypad, "#15"), std::nullopt);
    EXPECT_EQ(keyForDisplay(KeyboardModelMain, 7), std::nullopt);
}

TEST(KeyCodeTable, SignatureRecords) {
    const auto expect = [](unsigned key, uint8_t low, uint8_t high) {
        const KeyRecord record = keySignatureRecord(key);
        const uint8_t head[] = {0x02, 0x7A, 0x04, 0x7A, 0x02, low, 0x04, low, 0x02, high, 0x04, high};
        for (size_t i = 0; i < sizeof head; ++i)
            EXPECT_EQ(record[i], head[i]) << "key " << key << " byte " << i;
        for (size_t i = sizeof head; i < record.size(); ++i)
            ASSERT_EQ(record[i], 0xFF) << "key " << key << " byte " << i;
    };
    expect(0, 0x7E, 0x7E);
    expect(25, 0x83, 0x81);
    expect(112, 0x81, 0x8C);

    const KeyRecord plain = keyCodeRecord(0x29);
    EXPECT_EQ(keyCodeRecord(0)[0], 0xFF);

    KeyCodeTable table;
    table.fill(0xFF);
    EXPECT_TRUE(setTableRecord(table, 144, plain));
    EXPECT_EQ(table[143 * 64 + 1], 0x29);
    EXPECT_FALSE(setTableRecord(table, 0, plain));
    EXPECT_FALSE(setTableRecord(table, 145, plain));
}

TEST(DeviceCommands, TextsAndLimits) {
    EXPECT_EQ(brightnessCommand(150, false), "b100");
    EXPECT_EQ(sleepCommand(20000), "s9999");

    const auto automatic = brightnessFromCommand("b070A");
    ASSERT_TRUE(automatic);
    EXPECT_TRUE(automatic->automatic);
    EXPECT_EQ(brightnessFromCommand("b999")->brightness, 100u);
    for (const char* other : {"s0420", "b10", "b1x0", "b070B", "", "b0700"})
        EXPECT_FALSE(brightnessFromCommand(other)) << other;
}

TEST(FirmwareVersion, OrdinalComparisons) {
    EXPECT_FALSE(readsKeyCodeTable("TavirexV0.62"));
    // Ordinal, not alphabetical: upper case sorts before lower case.
    EXPECT_TRUE(pausesAfterKeyCodeTable("TAVIREXV9"));
    EXPECT_FALSE(readsKeyCodeTable("TAVIREXV9"));
}
