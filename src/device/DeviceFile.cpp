#include "device/DeviceFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

void DeviceFile::assign(std::string path, uint8_t* pending, uint8_t* shadow, size_t length) {
    // The firmware entry gets its buffers while the writer may be looking at the list.
    std::lock_guard lock(m_lock);
    m_path = std::move(path);
    m_pending = pending;
    m_shadow = shadow;
    m_length = length;
    m_changed = false;
    m_shadowValid = true;
}

bool DeviceFile::stage(std::span<const uint8_t> data) {
    std::lock_guard lock(m_lock);
    if (!hasBuffers() || data.size() > m_length)
        return false;
    const uint8_t* reference = m_changed ? m_pending : m_shadow;
    if ((m_changed || m_shadowValid) && std::memcmp(reference, data.data(), data.size()) == 0)
        return false;
    std::memcpy(m_pending, data.data(), data.size());
    // Staged back to what the device already holds before the writer came round: nothing to write.
    m_changed = !(m_shadowValid && std::memcmp(m_pending, m_shadow, m_length) == 0);
    return m_changed;
}

bool DeviceFile::isChanged() {
    std::lock_guard lock(m_lock);
    return m_changed;
}

DeviceFile::FlushResult DeviceFile::flush() {
    {
        std::lock_guard lock(m_lock);
        if (!m_changed || !hasBuffers())
            return FlushResult::Nothing;
    } // the path and length are fixed once the buffers are there
    if (!m_file.isOpen() && !m_file.open(m_path, KVDirectFile::Access::Write))
        return FlushResult::OpenFailed; // still changed: tried again at the next wake-up
    {
        std::lock_guard lock(m_lock);
        std::swap(m_pending, m_shadow);
        m_changed = false;
        m_shadowValid = true;
    }
    if (m_file.writeWhole(m_shadow, m_length)) {
        ++m_writes;
        return FlushResult::Written;
    }
    // The device may hold a torn file now. Keep the contents pending (unless newer ones arrived) so the
    // next wake-up writes them again, instead of leaving a wrong picture until the key changes; and open
    // the file afresh then, in case the handle is what went bad.
    m_file.close();
    std::lock_guard lock(m_lock);
    if (!m_changed) {
        std::swap(m_pending, m_shadow);
        m_changed = true;
    }
    m_shadowValid = false;
    return FlushResult::WriteFailed;
}
