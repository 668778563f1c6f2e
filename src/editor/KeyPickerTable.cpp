#include "editor/KeyPickerTable.h"

#include "device/KeyTables.h"
#include "keyboard/KeyboardGeometry.h"

namespace corvane::editor {

namespace {

// Left Shift's display sits in the middle of its double-width cap; the picker's two halves sit left
// and right of that.
constexpr unsigned kSplitKey = 82;
constexpr int kLeftHalfShift = -26;
constexpr int kRightHalfShift = 24;

KVKeyOnDrawing placeOf(const keyboard::KeyPlace& place) {
    return {QRect(place.x, place.y, keyboard::kDisplaySize, keyboard::kDisplaySize),
            QRect(place.capX, place.capY, place.capWidth, place.capHeight), place.row};
}

KVPickerKey fromMainKey(unsigned index) {
    const KeyDescriptor& key = corvane::device::modelDescriptor(KeyboardModelMain).keys[index];
    return {key.virtualKey, key.scanCode, key.keyCode,
            key.name,       key.label,    placeOf(keyboard::kMainKeyPlaces[index])};
}

std::vector<KVPickerKey> makeTable() {
    std::vector<KVPickerKey> keys;
    for (unsigned index = 0; index < keyboard::kMainKeyPlaces.size(); ++index)
        keys.push_back(fromMainKey(index));
    KVPickerKey shift = keys[kSplitKey];
    KVPickerKey extra{0xE2, 0x56, 0x64, "IntlBackslash", "\\", shift.place};
    const QRect cap = shift.place.cap;
    const int half = cap.width() / 2;
    shift.place.display.translate(kLeftHalfShift, 0);
    shift.place.cap = QRect(cap.x(), cap.y(), half, cap.height());
    extra.place.display.translate(kRightHalfShift, 0);
    extra.place.cap = QRect(cap.x() + half, cap.y(), cap.width() - half, cap.height());
    keys[kSplitKey] = shift;
    keys.insert(keys.begin() + kSplitKey + 1, extra);
    return keys;
}

} // namespace

const std::vector<KVPickerKey>& pickerKeys() {
    static const std::vector<KVPickerKey> keys = makeTable();
    return keys;
}

KVDrawnKeys pickerDrawnKeys() {
    std::vector<KVKeyOnDrawing> places;
    for (const auto& key : pickerKeys())
        places.push_back(key.place);
    return KVDrawnKeys(std::move(places));
}

} // namespace corvane::editor
