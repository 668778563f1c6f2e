#include "system/LayoutKeyLabels.h"

#include "device/KeyTables.h"

#include <gtest/gtest.h>

namespace {

std::size_t key(std::string_view name) {
    return *corvane::device::findKeyByName(KeyboardModelMain, name);
}

const KVLabelLayer* layerOf(const std::vector<KVLabelLayer>& layers, uint32_t mask) {
    for (const auto& layer : layers)
        if (layer.mask == mask)
            return &layer;
    return nullptr;
}

std::vector<uint32_t> masksOf(const std::vector<KVLabelLayer>& layers) {
    std::vector<uint32_t> masks;
    for (const auto& layer : layers)
        masks.push_back(layer.mask);
    return masks;
}

} // namespace

TEST(LayoutKeyLabels, CharacterKeys) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < KVLabelLayer::kKeyCount; ++i)
        count += corvane::isCharacterKey(i);
    // The digit row with grave, minus and equals (13), three letter rows with their punctuation
    // (13, 11, 10) and the space bar.
    EXPECT_EQ(count, 48u);
    for (auto name : {"Tab", "Return", "KeypadDot", "L1"})
        EXPECT_FALSE(corvane::isCharacterKey(key(name))) << name;
    // The key keeps sending its own code under its caption (HID usage 0x63), not its set-1 scan code (83).
    EXPECT_EQ(corvane::labelKeyCode(key("KeypadDot")), 0x63);
}

// The layers made from these labels (their order, conditions and captions for "us" and "de") are checked
// with the layer groups of the layouts; here what those do not reach.
TEST(LayoutKeyLabels, GermanAltGrDeadKeysAndDecimalComma) {
    const auto layers = corvane::layoutLabelLayers({"de", ""}, "DE", ",");
    EXPECT_EQ(masksOf(layers), (std::vector<uint32_t>{20, 3, 16, 4, 0, 64}));
    const auto& base = *layerOf(layers, 0);
    // The dead circumflex shows its accent; the key after it shows its own character.
    EXPECT_EQ(base.labels[key("GraveAccent")], "^");
    EXPECT_EQ(base.labels[key("1")], "1");
    EXPECT_EQ(base.labels[key("Plus")], "\u00B4");

    ASSERT_NE(layerOf(layers, 3), nullptr);
    EXPECT_EQ(layerOf(layers, 3)->modifierCondition, 3u);
    EXPECT_EQ(layerOf(layers, 3)->labels[key("7")], "{");
    EXPECT_EQ(layerOf(layers, 16)->labels[key("Semicolon")], "\u00D6");

    // Without dead keys the same key types a plain circumflex.
    const auto nodead = corvane::layoutLabelLayers({"de", "nodeadkeys"}, "DE", ",");
    EXPECT_EQ(layerOf(nodead, 0)->labels[key("GraveAccent")], "^");
    EXPECT_EQ(layerOf(nodead, 0)->labels[key("Plus")], "\u00B4");
}

TEST(LayoutKeyLabels, RussianLettersAndFrenchDigitRow) {
    const auto ru = corvane::layoutLabelLayers({"ru", ""}, "RU", ",");
    EXPECT_EQ(layerOf(ru, 0)->labels[key("Q")], "\u0439");
    EXPECT_EQ(layerOf(ru, 4)->labels[key("3")], "\u2116");

    const auto fr = corvane::layoutLabelLayers({"fr", ""}, "FR", ",");
    EXPECT_EQ(layerOf(fr, 0)->labels[key("2")], "\u00E9");
    ASSERT_NE(layerOf(fr, 4), nullptr);
    for (auto digit : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"})
        EXPECT_EQ(layerOf(fr, 4)->labels[key(digit)], digit);
    EXPECT_NE(layerOf(fr, 3), nullptr);
}

TEST(LayoutKeyLabels, UnknownLayoutGetsTheNumLayerOnly) {
    const auto layers = corvane::layoutLabelLayers({"no-such-layout", ""}, "", ".");
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers.front().identifier, "-n");
    EXPECT_EQ(layers.front().labels[key("KeypadDot")], ".");
}
