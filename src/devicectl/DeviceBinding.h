#pragma once

#include "core/KVPtr.h"
#include "device/KeyImage.h"
#include "images/KVImage.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

class KVViewPluginInstance;

// The bitmap a view plug-in instance publishes: rows bottom-up, blue-green-red (and an ignored fourth
// byte at 32 bits). Empty bits: the instance has published nothing yet.
struct KVPluginBitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::span<const uint8_t> bits;
};

// A bitmap that can go to a display as it is: 48 x 48 at 24 or 32 bits, all rows there.
inline bool isKeyBitmap(const KVPluginBitmap& bitmap) {
    using corvane::device::kDisplaySide;
    const size_t bytesPerPixel = size_t(bitmap.bitsPerPixel / 8);
    return bitmap.width == int(kDisplaySide) && bitmap.height == int(kDisplaySide) &&
           (bitmap.bitsPerPixel == 24 || bitmap.bitsPerPixel == 32) &&
           bitmap.bits.size() >= size_t(kDisplaySide) * kDisplaySide * bytesPerPixel;
}

// The pixels of a picture that can go to a display as it is (48 x 48 at 24 bits); empty otherwise.
inline std::span<const uint8_t> keyPixels(const KVPtr<KVImage>& picture) {
    if (!picture || !picture->isKeySized() || picture->bitsPerPixel() != 24)
        return {};
    return picture->pixels();
}

// The four parts of a key binding that reach the keyboard.
struct KVDeviceBinding {
    KVPtr<KVImage> picture;
    // A view plug-in draws the key; its bitmap replaces the picture.
    bool hasViewPlugin = false;
    KVPluginBitmap viewBitmap;
    // An action plug-in does the key's work; the key then sends nothing of its own.
    bool hasActionPlugin = false;
    // What the key sends; 0 = the key's own default code.
    uint8_t scanCode = 0;
};

// The binding of a key number, or none. Bitmaps and pictures it hands out stay valid until the caller
// returns to the loop.
using KVBindingLookup = std::function<std::optional<KVDeviceBinding>(unsigned key)>;

// What the device controller reads from the layer stack. The layers controller's adapter implements it
// (KVLayersDisplayBindings); tests use a fake.
class IKVDisplayBindings {
public:
    virtual ~IKVDisplayBindings() = default;
    // The binding the keyboard shows for `key`: the layers shown for editing first, then the active
    // layers; the first set binding wins whole.
    virtual std::optional<KVDeviceBinding> DisplayBinding(unsigned key) = 0;
    // What a view plug-in instance currently publishes (empty bits when nothing).
    virtual KVPluginBitmap PublishedBitmap(KVViewPluginInstance* instance) = 0;
};
