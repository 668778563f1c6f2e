#include "device/KeyImage.h"

namespace corvane::device {
namespace {

constexpr unsigned kLast = kDisplaySide - 1;

inline void packPixel(const uint8_t* bgr, uint8_t* out) {
    const uint8_t green = bgr[1] < 8 ? 0 : bgr[1];
    out[0] = uint8_t((bgr[2] & 0xF8) | (green >> 5));
    out[1] = uint8_t(((green << 3) & 0xE0) | (bgr[0] >> 3));
}

// Row by row with a fixed pixel size, so that the compiler can vectorise the common case.
template <unsigned BytesPerPixel> void convertUnturned(const uint8_t* pixels, uint8_t* target) {
    constexpr size_t stride = size_t(kDisplaySide) * BytesPerPixel;
    for (unsigned r = 0; r < kDisplaySide; ++r) {
        const uint8_t* source = pixels + (kLast - r) * stride; // the source rows run bottom-up
        for (unsigned c = 0; c < kDisplaySide; ++c, source += BytesPerPixel, target += 2)
            packPixel(source, target);
    }
}

} // namespace

std::array<uint8_t, 2> encodeRgb565(uint8_t red, uint8_t green, uint8_t blue) {
    const uint8_t bgr[3] = {blue, green, red};
    std::array<uint8_t, 2> packed;
    packPixel(bgr, packed.data());
    return packed;
}

void convertKeyImage(std::span<const uint8_t> pixels, unsigned bytesPerPixel, bool turned,
                     std::span<uint8_t, kKeyImageSize> out) {
    const size_t stride = size_t(kDisplaySide) * bytesPerPixel;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || pixels.size() < stride * kDisplaySide)
        return;
    if (!turned) {
        if (bytesPerPixel == 3)
            convertUnturned<3>(pixels.data(), out.data());
        else
            convertUnturned<4>(pixels.data(), out.data());
        return;
    }
    uint8_t* target = out.data();
    for (unsigned r = 0; r < kDisplaySide; ++r) {
        for (unsigned c = 0; c < kDisplaySide; ++c, target += 2) {
            // Picture pixel (x = r, y = 47 - c) counted from the top: bottom-up source row c.
            packPixel(pixels.data() + c * stride + r * bytesPerPixel, target);
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
