#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace corvane::device {

// Where the filesystem on device `device` (major:minor) is mounted whole, from a mountinfo table
// (/proc/self/mountinfo, or a copy in tests). The first such mount wins.
std::optional<std::string> mountPointOf(dev_t device,
                                        const std::string& mountInfoPath = "/proc/self/mountinfo");

// Undoes the octal escapes (\040 for a space) of mountinfo fields.
std::string unescapeMountField(const std::string& field);

} // namespace corvane::device
