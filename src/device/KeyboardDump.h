#pragma once

#include "device/KeyBindingSource.h"

#include <filesystem>

namespace corvane::device {

// Writes a whole configuration as the keyboard would hold it, below folder/Tavirex: "normal/%03d.sys"
// from the first source and "shift/%03d.sys" from the second (named by display number, main keyboard,
// turned displays turned), and "scancode.sys" from the first source. Keys without a binding get no image
// and an empty record. False when the folders cannot be created; a file that cannot be written is
// logged and skipped.
bool DumpKeyboardFiles(IKVKeyBindingSource& normal, IKVKeyBindingSource& shift,
                       const std::filesystem::path& folder);

} // namespace corvane::device
