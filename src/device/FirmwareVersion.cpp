#include "device/FirmwareVersion.h"

namespace corvane::device {

// std::string_view compares through char_traits<char>, which orders bytes as unsigned values: the same
// order as the code units of the widened text.
bool readsKeyCodeTable(std::string_view version) {
    return version.compare(kVersionWithKeyCodeTable) >= 0;
}

bool pausesAfterKeyCodeTable(std::string_view version) {
    return version.compare(kVersionWithoutTablePause) < 0;
}

} // namespace corvane::device
