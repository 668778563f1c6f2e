#include "core/MainLoop.h"

#include "core/Log.h"

struct KVMainLoop::PendingSend {
    Task task;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ran = false;
};

KVMainLoop::KVMainLoop() : m_loopThread(std::this_thread::get_id()) {}

KVMainLoop::~KVMainLoop() {
    refuseSends();
}

bool KVMainLoop::send(const Task& task) {
    if (isLoopThread()) {
        task();
        return true;
    }
    auto pending = std::make_shared<PendingSend>();
    pending->task = task;
    {
        std::lock_guard lock(m_mutex);
        if (m_refusing)
            return false;
        m_sends.push_back(pending);
    }
    m_sendQueued.notify_all();
    wakeForSends();
    std::unique_lock lock(pending->mutex);
    pending->finished.wait(lock, [&] { return pending->done; });
    return pending->ran;
}

void KVMainLoop::serveSends() {
    for (;;) {
        std::shared_ptr<PendingSend> next;
        {
            std::lock_guard lock(m_mutex);
            if (m_sends.empty())
                return;
            next = std::move(m_sends.front());
            m_sends.pop_front();
        }
        try {
            next->task();
            next->ran = true;
        } catch (const std::exception& e) {
            corvane::logger("core").error("a task sent from a worker thread failed: {}", e.what());
        }
        {
            std::lock_guard lock(next->mutex);
            next->done = true;
        }
        next->finished.notify_all();
    }
}

void KVMainLoop::refuseSends() {
    std::deque<std::shared_ptr<PendingSend>> refused;
    {
        std::lock_guard lock(m_mutex);
        m_refusing = true;
        refused.swap(m_sends);
    }
    for (auto& pending : refused) {
        {
            std::lock_guard lock(pending->mutex);
            pending->done = true;
        }
        pending->finished.notify_all();
    }
    m_sendQueued.notify_all();
}

bool KVMainLoop::serveSendsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        serveSends();
        if (done())
            return true;
        std::unique_lock lock(m_mutex);
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        // Short waits: `done` usually watches another thread that does not notify us.
        m_sendQueued.wait_for(lock, std::chrono::milliseconds(5), [&] { return !m_sends.empty(); });
    }
}
