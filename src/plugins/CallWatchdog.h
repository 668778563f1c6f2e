#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// Logs a call into a plug-in that has not returned after a while, naming the plug-in and the
// operation, so a hanging key or a frozen program can be traced to its plug-in. It only watches: a call
// cannot be taken back from the plug-in.
class KVCallWatchdog {
public:
    static constexpr std::chrono::milliseconds kDefaultLimit{2000};

    explicit KVCallWatchdog(std::chrono::milliseconds limit = kDefaultLimit);
    ~KVCallWatchdog();
    KVCallWatchdog(const KVCallWatchdog&) = delete;
    KVCallWatchdog& operator=(const KVCallWatchdog&) = delete;

    // The process-wide watchdog of guarded calls.
    static KVCallWatchdog& instance();

    // A call begins; answers its ticket for end(). `what` is "<operation> of <plug-in>/<sub-plug-in>".
    uint64_t begin(std::string what);
    void end(uint64_t ticket);

    // How many calls were reported as overdue so far (tests read it).
    uint64_t overdueReports() const;

private:
    struct Call {
        std::string what;
        std::chrono::steady_clock::time_point started;
        bool reported = false;
    };

    void watch();

    const std::chrono::milliseconds m_limit;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<uint64_t, Call> m_calls;
    uint64_t m_nextTicket = 1;
    uint64_t m_overdueReports = 0;
    bool m_stopping = false;
    std::thread m_thread;
};
