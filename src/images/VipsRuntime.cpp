#include "images/VipsRuntime.h"

#include "core/Log.h"

#include <array>
#include <mutex>
#include <vips/vips8>

namespace corvane::images {
namespace {

// The loaders of the formats we accept; everything else that libvips (or ImageMagick behind it) could
// decode stays blocked, so a file cannot pull in an unexpected decoder.
constexpr std::array kAllowedLoaders = {
    "pngload_buffer",
    "jpegload_buffer",
    "gifload_buffer",
    "tiffload_buffer",
    "webpload_buffer",
    // BMP and PSD reach us only through ImageMagick, after our own header check.
    "magickload_buffer",
};

bool startOnce() {
    if (VIPS_INIT("corvane")) {
        corvane::logger("images").error("libvips did not start: {}", vips_error_buffer());
        vips_error_clear();
        return false;
    }
    vips_cache_set_max(0);
    vips_cache_set_max_mem(0);
    vips_cache_set_max_files(0);
    // Key pictures are small; a thread pool per decode costs more than it saves.
    vips_concurrency_set(1);
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* nickname : kAllowedLoaders) {
        GType type = vips_type_find("VipsOperation", nickname);
        if (type == 0) {
            corvane::logger("images").info("no libvips loader {}; that format is not read", nickname);
            continue;
        }
        vips_operation_block_set(g_type_name(type), FALSE);
    }
    return true;
}

} // namespace

bool startVips() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = startOnce(); });
    return started;
}

} // namespace corvane::images
