#include "plugins/CallWatchdog.h"

#include "core/Log.h"

KVCallWatchdog::KVCallWatchdog(std::chrono::milliseconds limit) : m_limit(limit) {}

KVCallWatchdog::~KVCallWatchdog() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

KVCallWatchdog& KVCallWatchdog::instance() {
    static KVCallWatchdog watchdog;
    return watchdog;
}

uint64_t KVCallWatchdog::begin(std::string what) {
    std::lock_guard lock(m_mutex);
    // The thread starts with the first call, so a program without plug-ins never runs it.
    if (!m_thread.joinable())
        m_thread = std::thread([this] { watch(); });
    const uint64_t ticket = m_nextTicket++;
    m_calls.emplace(ticket, Call{std::move(what), std::chrono::steady_clock::now()});
    m_changed.notify_all();
    return ticket;
}

void KVCallWatchdog::end(uint64_t ticket) {
    std::lock_guard lock(m_mutex);
    const auto it = m_calls.find(ticket);
    if (it == m_calls.end())
        return;
    if (it->second.reported)
        corvane::logger("plugins").warn("{} returned after {} ms", it->second.what,
                                        std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - it->second.started)
                                            .count());
    m_calls.erase(it);
}

uint64_t KVCallWatchdog::overdueReports() const {
    std::lock_guard lock(m_mutex);
    return m_overdueReports;
}

void KVCallWatchdog::watch() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        // Sleep until the oldest unreported call becomes overdue, or until something changes.
        auto wakeAt = std::chrono::steady_clock::time_point::max();
        const auto now = std::chrono::steady_clock::now();
        for (auto& [ticket, call] : m_calls) {
            if (call.reported)
                continue;
            if (now - call.started >= m_limit) {
                call.reported = true;
                ++m_overdueReports;
                corvane::logger("plugins").warn("{} has not returned after {} ms", call.what,
                                                m_limit.count());
            } else {
                wakeAt = std::min(wakeAt, call.started + m_limit);
            }
        }
        if (wakeAt == std::chrono::steady_clock::time_point::max())
            m_changed.wait(lock);
        else
            m_changed.wait_until(lock, wakeAt);
    }
}
