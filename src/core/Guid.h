#pragma once

#include <string>

namespace corvane {

// A fresh random GUID in registry form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
std::string newGuidString();

// True for text of exactly that form.
bool isGuidString(std::string_view text);

} // namespace corvane
