#pragma once

#include "images/KVGlobalImageList.h"

#include <optional>
#include <string_view>

namespace corvane {

// The 16 x 16 picture beside a layout: the two-letter abbreviation, white on the selection blue,
// centred on x = 9 with its top at y = 2. Nothing for an empty abbreviation or when drawing fails.
std::optional<KVGlobalImageList::Icon> drawLanguagePicture(std::string_view abbreviation);

} // namespace corvane
