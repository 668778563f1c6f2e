#include "layers/ShippedItems.h"

#include "conditions/ConditionList.h"
#include "conditions/ModifierCondition.h"
#include "core/Log.h"
#include "device/KeyTables.h"
#include "images/KVTextRenderer.h"
#include "layers/LabelProperties.h"
#include "store/PropertyNode.h"

#include <algorithm>
#include <array>
#include <span>

namespace corvane::layers {
namespace {

constexpr const char* kCaptionFace = "DejaVu Sans";
constexpr int kWordPoints = 14;   // captions of words: the longest shrink to fit
constexpr int kSymbolPoints = 24; // a single symbol (arrows, keypad operators)
constexpr int kMargin = 3;        // pixels kept clear around the ink
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kAmber = 0x00BFFF; // 0x00BBGGRR: red FF, green BF

// Keys that carry no character, by their stored names; their captions are the key table's labels.
constexpr std::array kControlKeys{
    "Escape",
    "F1",
    "F2",
    "F3",
    "F4",
    "F5",
    "F6",
    "F7",
    "F8",
    "F9",
    "F10",
    "F11",
    "F12",
    "PrintScreen",
    "ScrollLock",
    "Pause",
    "Backspace",
    "Insert",
    "Home",
    "PageUp",
    "NumLock",
    "KeypadDivide",
    "KeypadMultiply",
    "KeypadMinus",
    "Tab",
    "Delete",
    "End",
    "PageDown",
    "CapsLock",
    "Return",
    "KeypadPlus",
    "ShiftLeft",
    "ShiftRight",
    "UpArrow",
    "CtrlLeft",
    "CmdLeft",
    "AltLeft",
    "AltRight",
    "CmdRight",
    "CtrlRight",
    "LeftArrow",
    "DownArrow",
    "RightArrow",
    "KeypadEnter",
};

constexpr std::array kProgrammableKeys{"L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8", "L9", "L10"};

// With Num Lock off the keypad moves the cursor like the navigation block; the middle key does nothing
// and is marked so that its digit does not linger from the Num Lock layer.
struct KeyCaption {
    const char* key;
    const char* caption;
};
constexpr std::array kKeypadNavigation{
    KeyCaption{"Keypad7", "Home"},   KeyCaption{"Keypad8", "\u2191"}, KeyCaption{"Keypad9", "PgUp"},
    KeyCaption{"Keypad4", "\u2190"}, KeyCaption{"Keypad5", "\u00B7"}, KeyCaption{"Keypad6", "\u2192"},
    KeyCaption{"Keypad1", "End"},    KeyCaption{"Keypad2", "\u2193"}, KeyCaption{"Keypad3", "PgDn"},
    KeyCaption{"Keypad0", "Ins"},    KeyCaption{"KeypadDot", "Del"},
};
// Shown while Num Lock is on; the Num Lock layer comes before the control keys and so wins over them. A
// keyboard layout's own decimal separator wins over ours, its group coming first.
constexpr std::array kKeypadDigits{"Keypad0", "Keypad1", "Keypad2", "Keypad3", "Keypad4",  "Keypad5",
                                   "Keypad6", "Keypad7", "Keypad8", "Keypad9", "KeypadDot"};

struct LockVariant {
    const char* identifier;
    const char* displayName;
    const char* key;
    uint32_t lockBit;
    std::span<const char* const> alsoShows; // keys captioned while the lock is on
};

constexpr std::array kLockVariants{
    LockVariant{"control_buttons_caps_lock", "Caps Lock on", "CapsLock", 16, {}},
    LockVariant{"control_buttons_num_lock", "Num Lock on", "NumLock", 64, kKeypadDigits},
    LockVariant{"control_buttons_scroll_lock", "Scroll Lock on", "ScrollLock", 128, {}},
};

// Captions other than the key table's short labels: arrows as arrows, and the operator forms of "*" and
// "-", which sit on the mathematical axis and so look centred where the plain ones sit high and low.
struct CaptionOverride {
    std::string_view key;
    const char* caption;
};
constexpr std::array kCaptionOverrides{
    CaptionOverride{"UpArrow", "\u2191"},        CaptionOverride{"LeftArrow", "\u2190"},
    CaptionOverride{"DownArrow", "\u2193"},      CaptionOverride{"RightArrow", "\u2192"},
    CaptionOverride{"KeypadMultiply", "\u2217"}, CaptionOverride{"KeypadMinus", "\u2212"},
};

std::string captionFor(unsigned index) {
    const auto name = keyName(index);
    for (const auto& entry : kCaptionOverrides)
        if (entry.key == name)
            return entry.caption;
    return std::string(device::modelDescriptor(KeyboardModelMain).keys[index].label);
}

// Counts UTF-8 characters, not bytes.
size_t characterCount(std::string_view text) {
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

struct InkBox {
    int left = KVImage::kKeySize, right = -1, top = KVImage::kKeySize, bottom = -1;
    bool empty() const { return right < left; }
};

// Rows of a key picture are stored bottom-up; `top` here counts from the top.
InkBox inkBox(const KVImage& image, std::uint32_t background) {
    const std::uint8_t red = background & 0xFF, green = (background >> 8) & 0xFF,
                       blue = (background >> 16) & 0xFF;
    InkBox box;
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* row = image.scanLine(y);
        const int fromTop = image.height() - 1 - y;
        for (int x = 0; x < image.width(); ++x) {
            const std::uint8_t* pixel = row + x * KVImage::kBytesPerPixel;
            if (pixel[0] == blue && pixel[1] == green && pixel[2] == red)
                continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, fromTop);
            box.bottom = std::max(box.bottom, fromTop);
        }
    }
    return box;
}

void bindCaption(KVLayer& layer, std::string_view keyNameText, std::string_view caption,
                 KVTextRenderer& renderer, std::uint32_t color, std::uint32_t bkColor) {
    const auto index = matchKeyName(keyNameText);
    if (!index) {
        corvane::logger("layers").error("shipped items: \"{}\" is not a key", keyNameText);
        return;
    }
    KVLabelStyle style;
    style.face = kCaptionFace;
    style.bold = true;
    style.color = color;
    style.bkColor = bkColor;
    const int maxPoints = characterCount(caption) == 1 ? kSymbolPoints : kWordPoints;
    KVPtr<KVImage> picture;
    style.size = fitCaption(renderer, caption, style, maxPoints, picture);
    auto& binding = layer.binding(*index);
    binding.keystroke = caption;
    binding.image = picture;
    binding.properties = withLabelStyle(nullptr, style);
}

// The key's own caption.
void bindCaption(KVLayer& layer, std::string_view keyNameText, KVTextRenderer& renderer, std::uint32_t color,
                 std::uint32_t bkColor) {
    if (const auto index = matchKeyName(keyNameText))
        bindCaption(layer, keyNameText, captionFor(*index), renderer, color, bkColor);
    else
        corvane::logger("layers").error("shipped items: \"{}\" is not a key", keyNameText);
}

KVPtr<KVLayer> newLayer(const char* identifier, const char* displayName) {
    auto layer = std::make_shared<KVLayer>();
    layer->setIdentifier(identifier);
    layer->setDisplayName(displayName);
    return layer;
}

} // namespace

int fitCaption(KVTextRenderer& renderer, std::string_view text, KVLabelStyle style, int maxPoints,
               KVPtr<KVImage>& picture) {
    constexpr int kMinPoints = 6;
    for (int points = maxPoints; points >= kMinPoints; --points) {
        style.size = points;
        picture = renderer.RenderLabel(text, style);
        if (!picture)
            return points;
        const InkBox box = inkBox(*picture, style.bkColor);
        const double linePixels = points * 96.0 / 72.0;
        const bool inside = !box.empty() && box.left >= kMargin && box.top >= kMargin &&
                            box.right < KVImage::kKeySize - kMargin &&
                            box.bottom < KVImage::kKeySize - kMargin;
        if (inside && box.bottom - box.top + 1 <= 1.1 * linePixels)
            return points;
    }
    return kMinPoints;
}

KVPtr<KVLayer> makeDefaultButtons(KVTextRenderer& renderer) {
    auto layer = newLayer("default_buttons", "Default buttons");
    for (const char* key : kProgrammableKeys)
        bindCaption(*layer, key, renderer, kWhite, kBlack);
    return layer;
}

KVPtr<KVLayersGroup> makeControlButtons(KVTextRenderer& renderer) {
    auto group = std::make_shared<KVLayersGroup>();
    group->setIdentifier("control_buttons");
    group->setDisplayName("Control buttons");
    for (const auto& variant : kLockVariants) {
        auto layer = newLayer(variant.identifier, variant.displayName);
        bindCaption(*layer, variant.key, renderer, kBlack, kAmber);
        for (const char* key : variant.alsoShows)
            bindCaption(*layer, key, renderer, kWhite, kBlack);
        addCondition(layer->conditions(), std::make_shared<KVLockCondition>(nullptr, variant.lockBit));
        group->items().add(layer);
    }
    auto keys = newLayer(kControlButtonsKeysId, "Control keys");
    for (const char* key : kControlKeys)
        bindCaption(*keys, key, renderer, kWhite, kBlack);
    for (const auto& [key, caption] : kKeypadNavigation)
        bindCaption(*keys, key, caption, renderer, kWhite, kBlack);
    group->items().add(keys);
    return group;
}

} // namespace corvane::layers
