#pragma once

#include "core/MainLoop.h"

#include <chrono>
#include <optional>
#include <set>
#include <sys/types.h>

class CKVMessageDispatch;

// Reports processes that start and end as KVM_PROCESS_EVENT (wParam 1 started, 0 ended; lParam the pid).
// It listens to the kernel's process connector where that can be opened and proves to work, and
// otherwise compares the process list under /proc once a second.
class KVProcessWatcher {
public:
    enum class Source { None, Netlink, ProcScan };

    KVProcessWatcher(KVMainLoop& loop, std::string procRoot = "/proc");
    ~KVProcessWatcher();

    // `preferNetlink` false goes straight to the /proc scan.
    void start(CKVMessageDispatch& dispatch, bool preferNetlink = true);
    void stop();
    Source source() const { return m_source; }

    static constexpr std::chrono::milliseconds kScanInterval{1000};

private:
    bool openNetlink();
    void closeNetlink();
    void readNetlink();
    void confirmNetlink(pid_t probe);
    void startScan();
    void scan(bool report);
    void report(bool started, pid_t pid);

    KVMainLoop& m_loop;
    std::string m_procRoot;
    CKVMessageDispatch* m_dispatch = nullptr;
    Source m_source = Source::None;
    int m_netlink = -1;
    std::optional<KVMainLoop::WatchId> m_watch;
    std::optional<KVMainLoop::TimerId> m_timer;
    pid_t m_probe = 0;
    bool m_probeSeen = false;
    std::set<pid_t> m_known;
};
