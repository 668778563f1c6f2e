#pragma once

#include "core/MainLoop.h"

#include <string>

class CKVMessageDispatch;
struct sd_bus;
struct sd_bus_slot;

// Hears from logind when the machine is about to sleep or shut down, and turns that into the dispatch's
// power and session messages: PrepareForSleep(true) -> KVM_POWER suspend, PrepareForSleep(false) ->
// KVM_POWER resume, PrepareForShutdown(true) -> KVM_QUERY_END_SESSION and KVM_END_SESSION(1),
// PrepareForShutdown(false) (called off) -> KVM_END_SESSION(0). Locking and unlocking this process's
// session become KVM_SESSION_CHANGE with KV_SESSION_LOCK and KV_SESSION_UNLOCK (the editor repaints).
//
// It holds a delay inhibitor lock, so logind waits until the handlers have given the keyboard back
// (they return only once the writes are done); the lock is let go after the messages and taken again on
// resume. Runs on the loop thread.
class KVLogindWatcher {
public:
    // wParam of KVM_SESSION_CHANGE, numbered as the window system numbers them.
    enum SessionEvent : unsigned { KV_SESSION_LOCK = 7, KV_SESSION_UNLOCK = 8 };

    KVLogindWatcher(KVMainLoop& loop, CKVMessageDispatch& dispatch);
    ~KVLogindWatcher();
    KVLogindWatcher(const KVLogindWatcher&) = delete;
    KVLogindWatcher& operator=(const KVLogindWatcher&) = delete;

    // Connects to the bus at `busAddress` (empty: the system bus) and listens. False (logged) when the
    // bus or logind cannot be reached.
    bool Start(const std::string& busAddress = {});
    bool HoldsInhibitor() const { return m_inhibitFd >= 0; }
    // This process's session was found and its lock and unlock are listened to.
    bool WatchesSessionLock() const { return m_sessionWatched; }

private:
    // The bus's callbacks (defined with the bus's own types).
    struct Callbacks;
    friend struct Callbacks;
    void prepareForSleep(bool start);
    void prepareForShutdown(bool start);
    void inhibitorTaken(int fd);
    void sessionFound(const char* path);
    void takeInhibitor();
    void releaseInhibitor();
    void processBus();
    void stop();

    KVMainLoop& m_loop;
    CKVMessageDispatch& m_dispatch;
    sd_bus* m_bus = nullptr;
    sd_bus_slot* m_sleepSlot = nullptr;
    sd_bus_slot* m_shutdownSlot = nullptr;
    sd_bus_slot* m_inhibitCall = nullptr;
    sd_bus_slot* m_sessionCall = nullptr;
    sd_bus_slot* m_lockSlot = nullptr;
    sd_bus_slot* m_unlockSlot = nullptr;
    bool m_sessionWatched = false;
    int m_inhibitFd = -1;
    KVMainLoop::WatchId m_watch = 0;
};
