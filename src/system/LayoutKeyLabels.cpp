#include "system/LayoutKeyLabels.h"

#include "conditions/ModifierMask.h"
#include "core/Log.h"
#include "device/KeyTables.h"
#include "hook/SystemHook.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

namespace corvane {
namespace {

using device::kMainKeyCount;
static_assert(KVLabelLayer::kKeyCount == kMainKeyCount);

// XKB key codes are Linux input codes plus 8; for the keys of the main block that have no 0xE0 prefix
// the input code is the set-1 scan code itself.
constexpr uint32_t kXkbKeycodeOffset = 8;
constexpr uint8_t kLastPlainScanCode = 0x58;
constexpr uint8_t kFirstScanWithoutUsage = 94;

// The level-three key XKB puts on the right Alt key; Windows layouts reach the same level with Ctrl+Alt.
constexpr uint32_t kLevelThreeKeysyms[] = {XKB_KEY_ISO_Level3_Shift, XKB_KEY_ISO_Level3_Latch,
                                           XKB_KEY_Mode_switch};

const KeyDescriptor& mainKey(std::size_t index) {
    return device::modelDescriptor(KeyboardModelMain).keys[index];
}

struct DeadCaption {
    uint32_t keysym;
    std::string_view text;
};
// Dead keys show the accent as the spacing character Windows layouts register for them.
constexpr DeadCaption kDeadCaptions[] = {
    {XKB_KEY_dead_grave, "`"},
    {XKB_KEY_dead_acute, "\u00B4"},
    {XKB_KEY_dead_circumflex, "^"},
    {XKB_KEY_dead_tilde, "~"},
    {XKB_KEY_dead_macron, "\u00AF"},
    {XKB_KEY_dead_breve, "\u02D8"},
    {XKB_KEY_dead_abovedot, "\u02D9"},
    {XKB_KEY_dead_diaeresis, "\u00A8"},
    {XKB_KEY_dead_abovering, "\u02DA"},
    {XKB_KEY_dead_doubleacute, "\u02DD"},
    {XKB_KEY_dead_caron, "\u02C7"},
    {XKB_KEY_dead_cedilla, "\u00B8"},
    {XKB_KEY_dead_ogonek, "\u02DB"},
    {XKB_KEY_dead_iota, "\u037A"},
    {XKB_KEY_dead_voiced_sound, "\u309B"},
    {XKB_KEY_dead_semivoiced_sound, "\u309C"},
    {XKB_KEY_dead_belowdot, "\u02D4"},
    {XKB_KEY_dead_hook, "\u02C0"},
    {XKB_KEY_dead_horn, "\u031B"},
    {XKB_KEY_dead_stroke, "/"},
    {XKB_KEY_dead_abovecomma, "\u02BC"},
    {XKB_KEY_dead_abovereversedcomma, "\u02BD"},
    {XKB_KEY_dead_belowcomma, ","},
    {XKB_KEY_dead_currency, "\u00A4"},
    {XKB_KEY_dead_greek, "\u00B5"},
};
constexpr uint32_t kFirstDeadKeysym = XKB_KEY_dead_grave;
constexpr uint32_t kLastDeadKeysym = 0xFEFF;

template <class T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Context = std::unique_ptr<xkb_context, Deleter<xkb_context, xkb_context_unref>>;
using Keymap = std::unique_ptr<xkb_keymap, Deleter<xkb_keymap, xkb_keymap_unref>>;
using State = std::unique_ptr<xkb_state, Deleter<xkb_state, xkb_state_unref>>;

xkb_context* sharedContext() {
    // One context for the process: it caches the include paths and is only read after creation.
    static Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    return context.get();
}

Keymap compileKeymap(const KVXkbLayoutName& layout) {
    if (!sharedContext())
        return nullptr;
    const xkb_rule_names names{"evdev", "pc105", layout.layout.c_str(), layout.variant.c_str(), ""};
    return Keymap(xkb_keymap_new_from_names(sharedContext(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

// The key that switches to level three, when the layout has one.
std::optional<xkb_keycode_t> levelThreeKey(xkb_keymap* keymap) {
    for (auto code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) != 1)
            continue;
        for (auto levelThree : kLevelThreeKeysyms)
            if (syms[0] == levelThree)
                return code;
    }
    return std::nullopt;
}

// A state of the keymap with the modifiers of `mask`; nullptr when the layout cannot show that state.
State stateFor(xkb_keymap* keymap, uint32_t mask) {
    const bool altGr = (mask & (KV_MOD_CTRL | KV_MOD_ALT)) == (KV_MOD_CTRL | KV_MOD_ALT);
    std::optional<xkb_keycode_t> levelThree;
    if (altGr) {
        levelThree = levelThreeKey(keymap);
        if (!levelThree)
            return nullptr;
    }
    State state(xkb_state_new(keymap));
    if (!state)
        return nullptr;
    xkb_mod_mask_t depressed = 0;
    xkb_mod_mask_t locked = 0;
    if (mask & KV_MOD_SHIFT)
        depressed |= 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
    if (mask & KV_LOCK_CAPS)
        locked |= 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CAPS);
    // Kana has no modifier of its own in XKB: those states look like the ones without it.
    xkb_state_update_mask(state.get(), depressed, 0, locked, 0, 0, 0);
    if (levelThree)
        xkb_state_update_key(state.get(), *levelThree, XKB_KEY_DOWN);
    return state;
}

std::string keyCaption(xkb_state* state, xkb_keycode_t code) {
    char text[64] = {};
    const int length = xkb_state_key_get_utf8(state, code, text, sizeof text);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof text) {
        // Control characters are what a key does, not what it shows.
        if (length == 1 && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F))
            return {};
        return std::string(text, static_cast<std::size_t>(length));
    }
    return deadKeyCaption(xkb_state_key_get_one_sym(state, code));
}

// The order of the layers in their group, where the first active layer that binds a key wins: the state
// with more bits first, so that Shift+Caps wins over Shift and Caps, and Shift over no modifier at all.
bool winsOver(uint32_t a, uint32_t b) {
    const int bitsA = std::popcount(a);
    const int bitsB = std::popcount(b);
    return bitsA != bitsB ? bitsA > bitsB : a > b;
}

// Whether, in the state `mask`, the layers made so far already show `labels`: each key takes the
// caption of the first layer in group order whose state is part of `mask` and that labels the key.
// Every state that can be part of `mask` is smaller, so it has been looked at already.
bool showsAlready(const std::vector<KVLabelLayer>& made, uint32_t mask,
                  const std::array<std::string, KVLabelLayer::kKeyCount>& labels) {
    std::vector<const KVLabelLayer*> active;
    for (const auto& layer : made)
        if ((layer.mask & ~mask) == 0)
            active.push_back(&layer);
    std::stable_sort(active.begin(), active.end(),
                     [](const KVLabelLayer* a, const KVLabelLayer* b) { return winsOver(a->mask, b->mask); });
    for (std::size_t key = 0; key < labels.size(); ++key) {
        if (labels[key].empty())
            continue; // a key without a caption lets the layers below show through anyway
        const std::string* shown = nullptr;
        for (const auto* layer : active) {
            if (!layer->labels[key].empty()) {
                shown = &layer->labels[key];
                break;
            }
        }
        if (!shown || *shown != labels[key])
            return false;
    }
    return true;
}

} // namespace

bool isCharacterKey(std::size_t keyIndex) {
    if (keyIndex >= kMainKeyCount)
        return false;
    const uint32_t vk = mainKey(keyIndex).virtualKey;
    // Space, digits, letters and the punctuation ("OEM") keys.
    return vk == 0x20 || (vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A) ||
           (vk >= 0xBA && vk <= 0xC0) || (vk >= 0xDB && vk <= 0xDF) || vk == 0xE2;
}

uint8_t labelKeyCode(std::size_t keyIndex) {
    return keyIndex < kMainKeyCount ? mainKey(keyIndex).keyCode : 0;
}

uint8_t labelActionCode(std::size_t keyIndex) {
    if (keyIndex >= kMainKeyCount || mainKey(keyIndex).scanCode >= kFirstScanWithoutUsage)
        return 0;
    // The key table's default code is the key's HID usage for every key that can carry a caption.
    return mainKey(keyIndex).keyCode;
}

std::size_t keypadDecimalKey() {
    static const std::size_t index = *device::findKeyByName(KeyboardModelMain, "KeypadDot");
    return index;
}

std::string deadKeyCaption(uint32_t keysym) {
    if (keysym < kFirstDeadKeysym || keysym > kLastDeadKeysym)
        return {};
    for (const auto& dead : kDeadCaptions)
        if (dead.keysym == keysym)
            return std::string(dead.text);
    // A dead key without a spacing form: the dotted circle that stands for "a mark goes here".
    return "\u25CC";
}

std::vector<KVLabelLayer> layoutLabelLayers(const KVXkbLayoutName& layout, std::string_view abbreviation,
                                            std::string_view decimalSeparator) {
    std::vector<KVLabelLayer> layers;
    const auto prefix = std::string(abbreviation) + "-";
    const Keymap keymap = compileKeymap(layout);
    if (!keymap)
        corvane::logger("system").error("keyboard layout {}: XKB cannot compile it; its keys get no captions",
                                        layout.text());

    for (uint32_t mask : kLabelMasks) {
        if (!keymap)
            break;
        const State state = stateFor(keymap.get(), mask);
        if (!state)
            continue;
        KVLabelLayer layer;
        bool typesSomething = false;
        for (std::size_t key = 0; key < kMainKeyCount; ++key) {
            const uint8_t scan = mainKey(key).scanCode;
            if (!isCharacterKey(key) || scan == 0 || scan > kLastPlainScanCode)
                continue;
            layer.labels[key] = keyCaption(state.get(), scan + kXkbKeycodeOffset);
            typesSomething |= !layer.labels[key].empty();
        }
        if (!typesSomething)
            continue;
        // A state whose captions already show through the layers made so far adds nothing.
        if (showsAlready(layers, mask, layer.labels))
            continue;
        layer.mask = mask;
        layer.identifier = prefix + modifierLetters(mask);
        layer.title = modifierDisplayText(mask);
        if (mask & ~kLockMaskBits)
            layer.modifierCondition = mask;
        if (mask & kLockMaskBits)
            layer.lockCondition = mask;
        layers.push_back(std::move(layer));
    }

    std::stable_sort(layers.begin(), layers.end(),
                     [](const KVLabelLayer& a, const KVLabelLayer& b) { return winsOver(a.mask, b.mask); });

    KVLabelLayer num;
    num.mask = KV_LOCK_NUM;
    num.identifier = prefix + "n";
    num.title = "Num";
    num.labels[keypadDecimalKey()] = std::string(decimalSeparator);
    num.lockCondition = KV_LOCK_NUM;
    layers.push_back(std::move(num));
    return layers;
}

} // namespace corvane
