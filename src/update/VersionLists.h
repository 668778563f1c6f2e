#pragma once

#include <string>
#include <string_view>
#include <vector>

// The two version lists that the maker publishes as "upgrade.txt", and the version texts in them.
namespace corvane::update {

// The file name under which the latest firmware image is published.
inline constexpr std::string_view kLatestFirmwareFile = "upgrade.bin";
// The name of both lists in their directories.
inline constexpr std::string_view kVersionListFile = "upgrade.txt";

// The first "(\d+\.\d+\w*)" in `text`: "TavirexV0.76b" gives "0.76b"; empty when there is none.
std::string extractVersion(std::string_view text);

struct FirmwareEntry {
    std::string version;
    std::string fileName;
    bool operator==(const FirmwareEntry&) const = default;
};

struct FirmwareList {
    std::string available;
    // The latest first, as (available, "upgrade.bin"), then the list's lines in order.
    std::vector<FirmwareEntry> entries;
};

// The firmware list: the first version anywhere in the text is the latest; after the first line each
// line is "version<TAB>file name" ending in CR LF or LF alone, and reading stops at a line without a tab
// or without its line end. Lines whose file name could reach outside the firmware directory are skipped.
FirmwareList parseFirmwareList(std::string_view text);

struct ConfiguratorList {
    std::string version;
    std::string installerName;
};

// The configurator list: "version<TAB>installer name" up to the first CR, LF or tab. Both are empty
// without a tab, and the name is empty when it is not a plain file name.
ConfiguratorList parseConfiguratorList(std::string_view text);

// A name that stays inside the directory it is appended to, on the server and in a local folder: letters,
// digits, blanks, '.', '-', '_', '+' and '~', not starting with '.', at most 255 bytes.
bool isPlainFileName(std::string_view name);

} // namespace corvane::update
