#pragma once

#include <optional>
#include <string>

namespace corvane::device {

// Mounts the filesystem on block device `kernelName` ("sdb1") for the session's user through UDisks2
// (org.freedesktop.UDisks2.Filesystem.Mount on the system bus), as the desktop's file manager would.
// The mount point, or nothing (logged) when UDisks2 refuses or is not there. A volume that is already
// mounted answers nothing too; its mount point is in mountinfo.
std::optional<std::string> udisksMount(const std::string& kernelName);

// UDisks2's object path of a block device.
std::string udisksBlockObjectPath(const std::string& kernelName);

} // namespace corvane::device
