#include "images/KVImage.h"

#include "core/Log.h"
#include "images/BuiltInPictures.h"
#include "images/FileBytes.h"
#include "images/PictureCodec.h"
#include "images/PictureFormat.h"

#include <algorithm>
#include <cstring>

namespace {

bool sizeAcceptable(int width, int height) {
    return corvane::images::declaredSizeAcceptable(width, height);
}

} // namespace

KVImage::KVImage(int width, int height) {
    if (!sizeAcceptable(width, height))
        return;
    m_width = width;
    m_height = height;
    m_pixels.assign(stride() * static_cast<std::size_t>(height), 0);
}

KVPtr<KVImage> KVImage::fromBottomUpBgr(int width, int height, const std::uint8_t* rows,
                                        std::size_t rowStride) {
    if (!rows || !sizeAcceptable(width, height) ||
        rowStride < static_cast<std::size_t>(width) * kBytesPerPixel)
        return {};
    auto image = std::make_shared<KVImage>(width, height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * kBytesPerPixel;
    for (int y = 0; y < height; ++y)
        std::memcpy(image->scanLine(y), rows + static_cast<std::size_t>(y) * rowStride, rowBytes);
    return image;
}

bool KVImage::samePixels(const KVImage& other) const {
    return m_width == other.m_width && m_height == other.m_height && m_pixels == other.m_pixels;
}

void KVImage::clearPixels() {
    m_width = 0;
    m_height = 0;
    m_pixels.clear();
}

bool KVImage::load(const std::string& path) {
    m_sourcePath = path;
    const auto bytes = corvane::images::readFileBytes(path, corvane::images::kMaxPictureFileBytes);
    if (bytes && loadFromMemory(*bytes))
        return true;
    corvane::logger("images").warn("cannot load picture {}", path);
    clearPixels();
    return false;
}

bool KVImage::loadFromMemory(std::span<const std::uint8_t> bytes) {
    return corvane::images::decodePicture(bytes, *this);
}

bool KVImage::loadBuiltIn(std::string_view name) {
    const auto png = corvane::images::builtInPicturePng(name);
    if (png.empty()) {
        corvane::logger("images").debug("no built-in picture {}", name);
        clearPixels();
        return false;
    }
    return loadFromMemory(png);
}

bool KVImage::save(const std::string& path) {
    const auto png = encodePng();
    if (png.empty() || !corvane::images::writeFileReplacing(path, png))
        return false;
    m_sourcePath = path;
    return true;
}

std::vector<std::uint8_t> KVImage::encodePng() const {
    return corvane::images::encodePicturePng(*this);
}

void KVImage::ensureKeySize() {
    if (m_width == kKeySize && m_height == kKeySize)
        return;
    std::string source = std::move(m_sourcePath);
    const bool changed = m_changed;
    *this = KVImage(kKeySize, kKeySize);
    m_sourcePath = std::move(source);
    m_changed = changed;
}

bool KVImage::reload() {
    if (m_sourcePath.empty() || !load(m_sourcePath))
        return false;
    ensureKeySize();
    return true;
}

bool KVImage::rescale(int width, int height) {
    return corvane::images::resizePicture(*this, {width, height});
}

bool KVImage::assignTopDownRgb(int width, int height, std::span<const std::uint8_t> rgb) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * kBytesPerPixel;
    if (!sizeAcceptable(width, height) || rgb.size() != rowBytes * static_cast<std::size_t>(height))
        return false;
    m_width = width;
    m_height = height;
    m_pixels.assign(stride() * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = rgb.data() + static_cast<std::size_t>(height - 1 - y) * rowBytes;
        std::uint8_t* to = scanLine(y);
        for (int x = 0; x < width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return true;
}

void KVImage::takePixels(KVImage&& other) {
    m_width = other.m_width;
    m_height = other.m_height;
    m_pixels = std::move(other.m_pixels);
    other.clearPixels();
}

std::vector<std::uint8_t> KVImage::toTopDownRgb() const {
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * kBytesPerPixel;
    std::vector<std::uint8_t> rgb(rowBytes * static_cast<std::size_t>(m_height));
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t* from = scanLine(m_height - 1 - y);
        std::uint8_t* to = rgb.data() + static_cast<std::size_t>(y) * rowBytes;
        for (int x = 0; x < m_width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return rgb;
}
