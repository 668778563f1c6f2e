#pragma once

#include "core/MainLoop.h"

#include <functional>
#include <optional>

// Turns SIGTERM, SIGINT and SIGHUP into a call on the loop thread, so that they end the program through
// the same orderly shutdown as the tray's "Exit".
class KVSignalWatcher {
public:
    // Blocks the three signals in the calling thread and every thread it starts later. Call it first in
    // main(), before any thread exists.
    static void blockTerminationSignals();

    KVSignalWatcher(KVMainLoop& loop, std::function<void(int signal)> onSignal);
    ~KVSignalWatcher();
    KVSignalWatcher(const KVSignalWatcher&) = delete;
    KVSignalWatcher& operator=(const KVSignalWatcher&) = delete;

private:
    void readSignals();

    KVMainLoop& m_loop;
    std::function<void(int)> m_onSignal;
    int m_fd = -1;
    std::optional<KVMainLoop::WatchId> m_watch;
};
