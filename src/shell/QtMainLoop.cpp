#include "shell/QtMainLoop.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

struct KVQtMainLoop::Watch {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
};

KVQtMainLoop::KVQtMainLoop(QCoreApplication& app) : m_app(app), m_context(std::make_unique<QObject>()) {}

KVQtMainLoop::~KVQtMainLoop() {
    refuseSends();
    for (auto& [id, timer] : m_timers)
        delete timer;
}

void KVQtMainLoop::post(Task task) {
    QMetaObject::invokeMethod(m_context.get(), std::move(task), Qt::QueuedConnection);
}

void KVQtMainLoop::wakeForSends() {
    QMetaObject::invokeMethod(
        m_context.get(), [this] { serveSends(); }, Qt::QueuedConnection);
}

KVMainLoop::TimerId KVQtMainLoop::addTimer(std::chrono::milliseconds interval, bool repeat, Task task) {
    const TimerId id = m_nextId++;
    auto* timer = new QTimer(m_context.get());
    timer->setInterval(interval);
    timer->setSingleShot(!repeat);
    QObject::connect(timer, &QTimer::timeout, m_context.get(), [this, id, repeat, task = std::move(task)] {
        if (!repeat)
            cancelTimer(id); // before the task, which may add timers of its own
        task();
    });
    timer->start();
    m_timers.emplace(id, timer);
    return id;
}

void KVQtMainLoop::cancelTimer(TimerId id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater(); // it may be the timer whose signal is being delivered
    m_timers.erase(it);
}

KVMainLoop::WatchId KVQtMainLoop::watchFd(int fd, unsigned events, std::function<void(unsigned)> callback) {
    const WatchId id = m_nextId++;
    auto watch = std::make_unique<Watch>();
    auto notify = [callback](unsigned ready) { callback(ready); };
    if (events & Readable) {
        watch->read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(watch->read.get(), &QSocketNotifier::activated, m_context.get(),
                         [notify] { notify(Readable); });
    }
    if (events & Writable) {
        watch->write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        QObject::connect(watch->write.get(), &QSocketNotifier::activated, m_context.get(),
                         [notify] { notify(Writable); });
    }
    m_watches.emplace(id, std::move(watch));
    return id;
}

void KVQtMainLoop::unwatchFd(WatchId id) {
    auto it = m_watches.find(id);
    if (it == m_watches.end())
        return;
    // The notifier may be the one delivering right now: let Qt delete it when it is done.
    for (auto* notifier : {it->second->read.release(), it->second->write.release()})
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    m_watches.erase(it);
}

int KVQtMainLoop::run() {
    if (m_quitEarly)
        return m_exitCode;
    return m_app.exec();
}

void KVQtMainLoop::quit(int code) {
    m_exitCode = code;
    m_quitEarly = true; // exit() before exec() would be forgotten
    m_app.exit(code);
}
