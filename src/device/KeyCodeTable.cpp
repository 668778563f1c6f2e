#include "device/KeyCodeTable.h"

#include <algorithm>

namespace corvane::device {
namespace {

KeyRecord emptyRecord() {
    KeyRecord record;
    record.fill(kRecordFill);
    return record;
}

} // namespace

KeyRecord keyCodeRecord(uint8_t code) {
    KeyRecord record = emptyRecord();
    if (code != 0) {
        record[0] = uint8_t(RecordOp::SendKey);
        record[1] = code;
    }
    return record;
}

KeyRecord keySignatureRecord(unsigned key) {
    const uint8_t low = kSignatureDigitCodes[key % 11];
    const uint8_t high = kSignatureDigitCodes[(key / 11) % 11];
    KeyRecord record = emptyRecord();
    size_t at = 0;
    for (const uint8_t code : {kSignatureMarker, low, high}) {
        record[at++] = uint8_t(RecordOp::Press);
        record[at++] = code;
        record[at++] = uint8_t(RecordOp::Release);
        record[at++] = code;
    }
    return record;
}

std::span<uint8_t> tableRecord(std::span<uint8_t, kKeyCodeTableSize> table, unsigned slot) {
    if (slot == 0 || slot > kRecordCount)
        return {};
    return table.subspan((slot - 1) * kRecordSize, kRecordSize);
}

std::span<const uint8_t> tableRecord(std::span<const uint8_t, kKeyCodeTableSize> table, unsigned slot) {
    if (slot == 0 || slot > kRecordCount)
        return {};
    return table.subspan((slot - 1) * kRecordSize, kRecordSize);
}

bool setTableRecord(std::span<uint8_t, kKeyCodeTableSize> table, unsigned slot, const KeyRecord& record) {
    const auto target = tableRecord(table, slot);
    if (target.empty())
        return false;
    std::ranges::copy(record, target.begin());
    return true;
}

} // namespace corvane::device
