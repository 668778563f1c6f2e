#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Unpacking layer archives. An archive comes from anyone (a download, a mail, a forum post), so it is
// the most exposed input of the program: every entry is checked before anything is written, and what
// unpacking may cost is bounded.
namespace corvane::layers {

struct KVArchiveLimits {
    std::size_t maxEntries = 10'000;
    // Counted while decompressing, never taken from the sizes the archive declares.
    std::uint64_t maxTotalBytes = 256ull * 1024 * 1024;
    // Folder levels below the destination; item folders nest one level per group.
    unsigned maxDepth = 64;
    std::size_t maxNameBytes = 1024;
};

// The outcome of an archive operation: on failure, a sentence for the log and for the user.
struct KVArchiveStatus {
    bool ok = false;
    std::string error;

    explicit operator bool() const { return ok; }
    static KVArchiveStatus success() { return {true, {}}; }
    static KVArchiveStatus failure(std::string why) { return {false, std::move(why)}; }
};

// Unpacks the zip archive into `destination`, an existing folder that the caller owns and removes
// afterwards whatever the outcome. Refused, before anything is written: entries with absolute names,
// drive letters or ".." parts (backslashes count as separators, as archives made on Windows use them),
// names that are not UTF-8, symbolic links, devices and other special files, encrypted entries, more
// entries or more nesting than the limits allow, and archives whose directory is inconsistent. Refused
// while writing: more decompressed bytes than the limit, damaged data (checksums), the same file named
// twice. Only plain files and folders are created, never through a link.
KVArchiveStatus unpackArchive(const std::string& archivePath, const std::string& destination,
                              const KVArchiveLimits& limits = {});
// The same for an archive held in memory.
KVArchiveStatus unpackArchiveBytes(std::span<const std::uint8_t> bytes, const std::string& destination,
                                   const KVArchiveLimits& limits = {});

} // namespace corvane::layers
