#pragma once

#include "store/ItemFolders.h"

#include <optional>
#include <string_view>

// Bindings are indexed by the main keyboard's key table; stored documents name keys by the table's names.
namespace corvane::layers {

inline constexpr unsigned kLayerKeyCount = 113;

// The stored name of key `index` ("Escape", "KeypadEnter"); empty past the table.
std::string_view keyName(unsigned index);

// The key named exactly `name` (case-sensitive, as stored). The search starts just after `previous` and
// wraps round once, so names read in table order are each found at the first step.
std::optional<unsigned> matchKeyName(std::string_view name, std::optional<unsigned> previous = {});

// What the item-folder reader asks before it looks for a key's picture file.
KVKeyNamePredicate keyNamePredicate();

} // namespace corvane::layers
