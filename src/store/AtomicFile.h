#pragma once

#include "store/FileSystem.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Replaces the file at `path` with `bytes` so that the path always names either the old or the new
// content, never a half-written file: a fresh temporary file in the same folder (mode 0600, or the mode
// of the file it replaces) is written, flushed to disk and renamed over the target, and the folder is
// flushed too. A symlink at `path` is followed and its target replaced. On failure the previous file
// stays as it was and the answer is false.
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         KVFileSystem& fs = KVFileSystem::system());

// The whole content of a regular file, or nothing when it cannot be read, is not a regular file or is
// larger than `limit` bytes (checked before anything is read).
std::optional<std::string> readFileBounded(const std::string& path, size_t limit);

} // namespace corvane
