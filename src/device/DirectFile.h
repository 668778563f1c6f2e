#pragma once

#include <cstddef>
#include <optional>
#include <string>

// A keyboard file opened for whole-file transfers at offset 0. The firmware reads the files while we
// write them, so every write goes straight to the device (O_DIRECT | O_DSYNC). Where the filesystem
// refuses direct I/O (tmpfs, some FUSE filesystems) the same write is buffered and followed by
// fdatasync, which still leaves a complete file on the device when the call returns.
class KVDirectFile {
public:
    enum class Access { Read, Write };

    KVDirectFile() = default;
    ~KVDirectFile();
    KVDirectFile(const KVDirectFile&) = delete;
    KVDirectFile& operator=(const KVDirectFile&) = delete;

    // Write access creates a missing file. Logs and answers false on failure.
    bool open(const std::string& path, Access access);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    bool isDirect() const { return m_direct; }

    // Reads up to `length` bytes from offset 0 (`buffer` aligned for direct I/O); the byte count, or
    // nothing when the read failed.
    std::optional<size_t> readWhole(void* buffer, size_t length);
    // Writes `length` bytes at offset 0; true only when every byte reached the device.
    bool writeWhole(const void* buffer, size_t length);

private:
    bool dropDirect();

    std::string m_path;
    int m_fd = -1;
    bool m_direct = false;
};

namespace corvane::device {

// The memory alignment that direct I/O needs for files at `path` (statx STATX_DIOALIGN), at least
// `minimum`; `minimum` when the filesystem does not say.
size_t directIoAlignment(const std::string& path, size_t minimum);

} // namespace corvane::device
