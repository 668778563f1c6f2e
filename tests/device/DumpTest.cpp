#include "TestFolder.h"
#include "device/KeyImage.h"
#include "device/KeyboardDump.h"

#include <gtest/gtest.h>
#include <map>

using namespace corvane::device;

namespace {

struct MapSource final : IKVKeyBindingSource {
    std::map<unsigned, std::pair<std::vector<uint8_t>, uint8_t>> bindings; // picture, scan code
    std::optional<KVKeyBindingView> keyBinding(unsigned key) override {
        const auto found = bindings.find(key);
        if (found == bindings.end())
            return std::nullopt;
        return KVKeyBindingView{found->second.first, found->second.second};
    }
};

std::vector<uint8_t> picture(uint8_t value) {
    std::vector<uint8_t> pixels(kPixels24Size, 0);
    pixels[47 * 144 + 2] = value; // red of the top-left pixel
    return pixels;
}

} // namespace

// The turned displays and a folder that cannot be written are checked where the device dumps the layers.
TEST(KeyboardDump, WritesBothFoldersAndTheTable) {
    TestKeyboardFolder folder;
    MapSource normal, shift;
    normal.bindings[0] = {picture(0xFF), 0};      // Escape keeps its own code
    normal.bindings[112] = {picture(0xFF), 0x04}; // KeypadEnter sends A
    normal.bindings[16] = {{}, 0};                // L1: a binding without picture, no default code
    shift.bindings[1] = {picture(0x80), 0};
    ASSERT_TRUE(DumpKeyboardFiles(normal, shift, folder.path() / "out"));

    const auto root = std::string("out/Tavirex/");
    EXPECT_EQ(folder.read(root + "normal/099.sys")[0], 0xF8);
    EXPECT_EQ(folder.read(root + "normal/003.sys").size(), 4608u);
    EXPECT_EQ(folder.read(root + "shift/100.sys")[0], 0x80);
    // Keys without a binding, or without a picture, leave no image file.
    EXPECT_FALSE(folder.exists(root + "normal/100.sys"));
    EXPECT_FALSE(folder.exists(root + "normal/097.sys"));

    const auto table = folder.read(root + "scancode.sys");
    ASSERT_EQ(table.size(), 9216u);
    EXPECT_EQ(table[7 * 64 + 1], 0x29);
    EXPECT_EQ(table[136 * 64 + 1], 0x04);
    // F1 (slot 16) has no binding in the first source, L1 (slot 7) no code: empty records.
    for (unsigned slot : {16u, 7u})
        EXPECT_EQ(std::vector(table.begin() + (slot - 1) * 64, table.begin() + slot * 64),
                  std::vector<uint8_t>(64, 0xFF))
            << slot;
}
