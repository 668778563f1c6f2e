#pragma once

#include "FirmwareState.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

typedef struct _cairo_surface cairo_surface_t;

// Puts what the firmware shows onto the keyboard drawing.
namespace corvane::vkbd {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const;
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// The drawing of the model: $CORVANE_DATA_DIR/<name>.png when set, else share/corvane beside the
// program's bin folder (the build tree and an installed prefix look alike there).
std::filesystem::path drawingPath(std::uint32_t model);

// Loads a PNG as a 32-bit image surface; empty (and logged) when it cannot be read.
Surface loadPng(const std::filesystem::path& path);

// A copy of the drawing with every key's display painted: its picture dimmed by the brightness, black
// where the display map is off or no picture was written.
Surface renderKeyboard(cairo_surface_t* drawing, const FirmwareState& state);

// Writes the surface as PNG; an error text, empty on success.
std::string savePng(cairo_surface_t* surface, const std::filesystem::path& path);

} // namespace corvane::vkbd
