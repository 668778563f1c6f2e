#include "device/KeyImage.h"

namespace corvane::device {
namespace {

constexpr unsigned kLast = kDisplaySide - 1;

} // namespace

std::array<uint8_t, 2> encodeRgb565(uint8_t red, uint8_t green, uint8_t blue) {
    if (green < 8)
        green = 0;
    return {uint8_t((red & 0xF8) | (green >> 5)), uint8_t(((green >> 2) & 0x07) << 5 | (blue >> 3))};
}

void convertKeyImage(std::span<const uint8_t> pixels, unsigned bytesPerPixel, bool turned,
                     std::span<uint8_t, kKeyImageSize> out) {
    const size_t stride = size_t(kDisplaySide) * bytesPerPixel;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || pixels.size() < stride * kDisplaySide)
        return;
    uint8_t* target = out.data();
    for (unsigned r = 0; r < kDisplaySide; ++r) {
        for (unsigned c = 0; c < kDisplaySide; ++c) {
            // (x, y) in the picture with y = 0 at the top; the source rows run bottom-up.
            const unsigned x = turned ? r : c;
            const unsigned y = turned ? kLast - c : r;
            const uint8_t* source = pixels.data() + (kLast - y) * stride + x * bytesPerPixel;
            const auto packed = encodeRgb565(source[2], source[1], source[0]);
            *target++ = packed[0];
            *target++ = packed[1];
        }
    }
}

std::array<uint8_t, kPixels24Size> decodeKeyImage(std::span<const uint8_t, kKeyImageSize> file, bool turned) {
    std::array<uint8_t, kPixels24Size> rgb{};
    for (unsigned r = 0; r < kDisplaySide; ++r) {
        for (unsigned c = 0; c < kDisplaySide; ++c) {
            const uint8_t high = file[(r * kDisplaySide + c) * 2];
            const uint8_t low = file[(r * kDisplaySide + c) * 2 + 1];
            const unsigned x = turned ? r : c;
            const unsigned y = turned ? kLast - c : r;
            uint8_t* target = rgb.data() + (y * kDisplaySide + x) * 3;
            const uint8_t red = high & 0xF8;
            const uint8_t green = uint8_t((high & 0x07) << 5 | (low >> 5) << 2);
            const uint8_t blue = uint8_t(low << 3);
            target[0] = uint8_t(red | red >> 5);
            target[1] = uint8_t(green | green >> 6);
            target[2] = uint8_t(blue | blue >> 5);
        }
    }
    return rgb;
}

} // namespace corvane::device
