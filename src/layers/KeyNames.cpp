#include "layers/KeyNames.h"

#include "device/KeyTables.h"

namespace corvane::layers {

static_assert(kLayerKeyCount == device::kMainKeyCount);

std::string_view keyName(unsigned index) {
    const auto keys = device::modelDescriptor(KeyboardModelMain).keys;
    return index < keys.size() ? keys[index].name : std::string_view();
}

std::optional<unsigned> matchKeyName(std::string_view name, std::optional<unsigned> previous) {
    const auto keys = device::modelDescriptor(KeyboardModelMain).keys;
    const unsigned start = previous ? (*previous + 1) % kLayerKeyCount : 0;
    for (unsigned step = 0; step < kLayerKeyCount; ++step) {
        const unsigned index = (start + step) % kLayerKeyCount;
        if (keys[index].name == name)
            return index;
    }
    return std::nullopt;
}

KVKeyNamePredicate keyNamePredicate() {
    return [](std::string_view name) { return matchKeyName(name).has_value(); };
}

} // namespace corvane::layers
