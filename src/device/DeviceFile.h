#pragma once

#include "device/DirectFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

// One writable keyboard file: the contents staged by the user-interface thread (pending) and the
// contents last written (shadow), both `length` bytes (the data length rounded up to the sector size)
// in memory owned by the file set. Staging copies only what differs; flushing, on the writer thread,
// swaps the two buffers under the lock and writes the shadow outside it.
class DeviceFile {
public:
    enum class FlushResult { Nothing, Written, OpenFailed, WriteFailed };

    DeviceFile() = default;
    DeviceFile(const DeviceFile&) = delete;
    DeviceFile& operator=(const DeviceFile&) = delete;

    // Gives the entry its path and buffers; until then it has none and ignores staging.
    void assign(std::string path, uint8_t* pending, uint8_t* shadow, size_t length);
    bool hasBuffers() const { return m_pending != nullptr; }
    const std::string& path() const { return m_path; }
    size_t length() const { return m_length; }
    uint8_t* pendingBuffer() { return m_pending; }

    // Copies `data` into the pending buffer if it differs from what is pending or, when nothing is,
    // from what was last written. Bytes beyond data.size() keep what they held. Answers whether this
    // call gave the writer new work; data longer than the entry is ignored.
    bool stage(std::span<const uint8_t> data);
    bool isChanged();

    // Writer thread.
    FlushResult flush();
    void close() { m_file.close(); }

    // Whole-file writes that reached the device; for tests and statistics.
    unsigned writeCount() const { return m_writes; }
    bool isOpen() const { return m_file.isOpen(); }

private:
    std::string m_path;
    KVDirectFile m_file;
    std::mutex m_lock;
    uint8_t* m_pending = nullptr;
    uint8_t* m_shadow = nullptr;
    size_t m_length = 0;
    bool m_changed = false;
    // False after a failed write: the device holds something other than the shadow.
    bool m_shadowValid = true;
    std::atomic<unsigned> m_writes = 0;
};
