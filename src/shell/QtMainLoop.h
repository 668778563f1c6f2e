#pragma once

#include "core/MainLoop.h"

#include <map>
#include <memory>

class QCoreApplication;
class QObject;
class QSocketNotifier;
class QTimer;

// The main loop on Qt's event loop (QCoreApplication headless, QApplication with windows).
class KVQtMainLoop final : public KVMainLoop {
public:
    explicit KVQtMainLoop(QCoreApplication& app);
    ~KVQtMainLoop() override;

    void post(Task task) override;
    TimerId addTimer(std::chrono::milliseconds interval, bool repeat, Task task) override;
    void cancelTimer(TimerId id) override;
    WatchId watchFd(int fd, unsigned events, std::function<void(unsigned)> callback) override;
    void unwatchFd(WatchId id) override;
    int run() override;
    void quit(int code) override;

protected:
    void wakeForSends() override;

private:
    struct Watch;

    QCoreApplication& m_app;
    std::unique_ptr<QObject> m_context;
    std::map<TimerId, QTimer*> m_timers;
    std::map<WatchId, std::unique_ptr<Watch>> m_watches;
    uint64_t m_nextId = 1;
    bool m_quitEarly = false;
    int m_exitCode = 0;
};
