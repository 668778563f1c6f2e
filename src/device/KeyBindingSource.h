#pragma once

#include <cstdint>
#include <optional>
#include <span>

// What the device side needs to know of a key's binding, without knowing layers or images.
struct KVKeyBindingView {
    // 48 x 48 pixels, bottom row first, bytes blue, green, red (rows of 144 bytes); empty when the
    // binding has no valid picture.
    std::span<const uint8_t> pixels24;
    // The code the key sends instead of its own; 0 = the key's default code.
    uint8_t scanCode = 0;
};

// Answers the binding of a key number, or none. The pixels stay valid until the next call.
class IKVKeyBindingSource {
public:
    virtual ~IKVKeyBindingSource() = default;
    virtual std::optional<KVKeyBindingView> keyBinding(unsigned key) = 0;
};
