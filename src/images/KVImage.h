#pragma once

#include "core/KVPtr.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A key picture. Pixels are kept the way the keyboard path reads them: rows bottom-up, three bytes per
// pixel in the order blue, green, red, each row padded to a multiple of four bytes (144 bytes at 48 wide).
// A picture can also only name its source file (a stored picture not loaded yet); it then holds no pixels.
class KVImage {
public:
    static constexpr int kKeySize = 48;
    static constexpr int kBitsPerPixel = 24;
    static constexpr int kBytesPerPixel = 3;

    // An empty picture: no pixels, no source.
    KVImage() = default;
    // A black picture of the given size; an empty one when a side is not positive or too large.
    KVImage(int width, int height);

    // Copies rows bottom-up, blue-green-red, `stride` bytes apart (what a 24-bit canvas holds).
    static KVPtr<KVImage> fromBottomUpBgr(int width, int height, const std::uint8_t* rows,
                                          std::size_t stride);

    static std::size_t strideFor(int width) {
        return (static_cast<std::size_t>(width) * kBytesPerPixel + 3) & ~std::size_t{3};
    }

    bool isValid() const { return !m_pixels.empty(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // 24 while the picture holds pixels, 0 otherwise.
    int bitsPerPixel() const { return isValid() ? kBitsPerPixel : 0; }
    std::size_t stride() const { return strideFor(m_width); }
    bool isKeySized() const { return m_width == kKeySize && m_height == kKeySize && isValid(); }

    // The whole pixel memory, bottom row first.
    std::span<const std::uint8_t> pixels() const { return m_pixels; }
    std::span<std::uint8_t> pixels() { return m_pixels; }
    // Row `y` counted from the bottom, as the keyboard path walks them.
    const std::uint8_t* scanLine(int y) const {
        return m_pixels.data() + static_cast<std::size_t>(y) * stride();
    }
    std::uint8_t* scanLine(int y) { return m_pixels.data() + static_cast<std::size_t>(y) * stride(); }

    // The file the picture came from or was last saved to; empty for pictures made in memory.
    const std::string& sourcePath() const { return m_sourcePath; }
    void setSourcePath(std::string path) { m_sourcePath = std::move(path); }

    // Marked pictures are written by the next save of their layer.
    bool isChanged() const { return m_changed; }
    void setChanged(bool changed) { m_changed = changed; }

    // Decodes a picture file of an accepted format at its own size, as 24 bits. The path becomes the
    // source path even when loading fails. On failure the pixels are dropped.
    bool load(const std::string& path);
    // Decodes picture bytes of an accepted format at their own size; the source path is left alone.
    bool loadFromMemory(std::span<const std::uint8_t> bytes);
    // One of the pictures compiled into the program ("ACTION_MEDIA_MUTE", any case).
    bool loadBuiltIn(std::string_view name);

    // Writes the picture as PNG (whatever the extension) so that the file is either the old one or the
    // complete new one; on success the path becomes the source path.
    bool save(const std::string& path);
    // The PNG form of the picture; empty when it holds no pixels or encoding fails.
    std::vector<std::uint8_t> encodePng() const;

    // A picture that is not 48 x 48 is replaced by a blank (black) 48 x 48 one, as a stored picture that
    // was edited outside to another size must not reach the keyboard at that size.
    void ensureKeySize();
    // Loads the source path again; on success ensures 48 x 48.
    bool reload();
    // Lanczos3 to exactly `width` x `height`, not keeping the aspect ratio.
    bool rescale(int width, int height);

    // Replaces the pixels with decoded ones (rows top-down, red-green-blue, tightly packed).
    bool assignTopDownRgb(int width, int height, std::span<const std::uint8_t> rgb);
    // Takes the other picture's pixels; this picture's source path and changed mark stay.
    void takePixels(KVImage&& other);
    // The pixels as rows top-down, red-green-blue, tightly packed (what encoders take).
    std::vector<std::uint8_t> toTopDownRgb() const;

    // Same size and the same pixel bytes (source path and changed mark aside).
    bool samePixels(const KVImage& other) const;

private:
    void clearPixels();

    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint8_t> m_pixels;
    std::string m_sourcePath;
    bool m_changed = false;
};
