#pragma once

#include "device/KeyImage.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

// What the keyboard's firmware would show, read from the files the configurator wrote into a virtual
// keyboard's folder.
namespace corvane::vkbd {

using DisplayPixels = std::array<std::uint8_t, device::kPixels24Size>; // RGB, top row first

struct FirmwareState {
    std::uint32_t model = 0;
    // Per display number - 1: the picture, turned back where the display is mounted turned; empty
    // when the display's file is missing or not of the display's size.
    std::vector<std::optional<DisplayPixels>> displays;
    // Per display number - 1: whether the display map lets the display show its picture.
    std::vector<bool> displayOn;
    unsigned brightness = 100;
};

// The brightness of an order.sys holding a brightness command ("b070", "b070A"); empty for any other
// command or a damaged file.
std::optional<unsigned> brightnessOfCommand(std::span<const std::uint8_t> orderFile);

// Reads the displays, the display map and the brightness. order.sys holds only the last command, so
// when that was not a brightness command the caller's remembered brightness (or full brightness)
// stands.
FirmwareState readFirmwareState(const std::filesystem::path& dir, std::uint32_t model,
                                std::optional<unsigned> rememberedBrightness = std::nullopt);

} // namespace corvane::vkbd
