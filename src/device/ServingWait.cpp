#include "device/ServingWait.h"

#include <chrono>

void KVServingWait::wait(const std::function<bool()>& done) {
    if (m_loop && m_loop->isLoopThread()) {
        while (!m_loop->serveSendsUntil(done, std::chrono::seconds(1))) {
        }
        return;
    }
    std::unique_lock lock(m_mutex);
    // The short period covers a done() that changes without notify() (a mutex becoming free).
    while (!done())
        m_changed.wait_for(lock, std::chrono::milliseconds(5));
}

void KVServingWait::notify() {
    { std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
}
