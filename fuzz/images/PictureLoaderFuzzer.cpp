// Feeds arbitrary bytes to the key-picture decoder the way LoadKeyImage and the icon list use it.
// Run: fuzz_picture_loader -rss_limit_mb=2048 -malloc_limit_mb=1024 fuzz/images/corpus
#include "images/KVImage.h"
#include "images/PictureCodec.h"

#include <cstdlib>
#include <glib.h>
#include <spdlog/spdlog.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    spdlog::set_level(spdlog::level::off);
    // Decoder warnings about damaged input are expected by the thousand here.
    g_log_set_handler(
        "VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    KVImage picture;
    if (corvane::images::decodePicture(bytes, picture, {KVImage::kKeySize, KVImage::kKeySize})) {
        if (!picture.isKeySized() || picture.pixels().size() != picture.stride() * KVImage::kKeySize)
            std::abort();
    }
    const auto icon = corvane::images::decodePictureRgba(bytes, {16, 16});
    if (!icon.empty() && icon.size() != 16 * 16 * 4)
        std::abort();
    return 0;
}
