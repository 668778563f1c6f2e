#include "FirmwareState.h"

#include "VirtualKeyboardFolder.h"
#include "device/KeyTables.h"

#include <algorithm>
#include <spdlog/spdlog.h>

namespace corvane::vkbd {

namespace {

bool isDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<unsigned> brightnessOfCommand(std::span<const std::uint8_t> orderFile) {
    // "b", three digits, an optional "A", then the terminating zero.
    if (orderFile.size() < 5 || orderFile[0] != 'b')
        return std::nullopt;
    if (!isDigit(orderFile[1]) || !isDigit(orderFile[2]) || !isDigit(orderFile[3]))
        return std::nullopt;
    std::size_t end = 4;
    if (orderFile[end] == 'A')
        ++end;
    if (end >= orderFile.size() || orderFile[end] != 0)
        return std::nullopt;
    const unsigned value = (orderFile[1] - '0') * 100u + (orderFile[2] - '0') * 10u + (orderFile[3] - '0');
    return std::min(value, 100u);
}

FirmwareState readFirmwareState(const std::filesystem::path& dir, std::uint32_t model,
                                std::optional<unsigned> rememberedBrightness) {
    const FolderPaths paths{dir};
    const auto& descriptor = device::modelDescriptor(model);
    FirmwareState state;
    state.model = model;
    state.displays.resize(descriptor.displayCount);
    state.displayOn.assign(descriptor.displayCount, false);

    for (unsigned display = 1; display <= descriptor.displayCount; ++display) {
        const auto file = readFile(paths.display(display));
        if (!file)
            continue;
        // The configurator writes whole sectors; a shorter file is one the firmware would not show.
        if (file->size() < device::kKeyImageSize) {
            spdlog::warn("{} holds {} bytes, not a display image", paths.display(display).string(),
                         file->size());
            continue;
        }
        const std::span<const std::uint8_t, device::kKeyImageSize> image(file->data(), device::kKeyImageSize);
        state.displays[display - 1] = device::decodeKeyImage(image, descriptor.isTurned(display));
    }

    // A missing map is a keyboard that nobody drives: the displays stay dark.
    if (const auto map = readFile(paths.displayMap())) {
        for (std::size_t i = 0; i < state.displayOn.size() && i < map->size(); ++i)
            state.displayOn[i] = (*map)[i] != 0;
    }

    state.brightness = rememberedBrightness.value_or(100);
    if (const auto order = readFile(paths.order())) {
        if (const auto brightness = brightnessOfCommand(*order))
            state.brightness = *brightness;
    }
    return state;
}

} // namespace corvane::vkbd
