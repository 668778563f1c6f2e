// What a server sends before anything reaches the keyboard: both version lists and the image check.
// Whatever they accept must be safe to use: names that stay in their directory, and only images the
// keyboard takes.
#include "device/FirmwareVersion.h"
#include "update/FirmwareImage.h"
#include "update/VersionLists.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <spdlog/spdlog.h>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    spdlog::set_level(spdlog::level::off);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane::update;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const FirmwareList firmware = parseFirmwareList(text);
    for (size_t i = 0; i < firmware.entries.size(); ++i) {
        const auto& entry = firmware.entries[i];
        if (!isPlainFileName(entry.fileName) || entry.fileName.find('/') != std::string::npos)
            std::abort();
        // The latest comes first whenever the list names a version.
        if (i == 0 && !firmware.available.empty() &&
            (entry.version != firmware.available || entry.fileName != kLatestFirmwareFile))
            std::abort();
    }
    const ConfiguratorList configurator = parseConfiguratorList(text);
    if (!configurator.installerName.empty() && !isPlainFileName(configurator.installerName))
        std::abort();

    const auto problem = checkFirmwareImage({data, size});
    if (problem == FirmwareImageProblem::None && (size != corvane::device::kFirmwareImageSize ||
                                                  std::memcmp(data, kFirmwareImageMagic.data(), 6) != 0))
        std::abort();
    return 0;
}
