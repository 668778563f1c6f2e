#include "support/ManualLoop.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

KVManualLoop::KVManualLoop() {
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

KVManualLoop::~KVManualLoop() {
    refuseSends();
    ::close(m_wakeFd);
}

void KVManualLoop::post(Task task) {
    {
        std::lock_guard lock(m_postMutex);
        m_posted.push_back(std::move(task));
    }
    wakeForSends();
}

void KVManualLoop::wakeForSends() {
    const uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(m_wakeFd, &one, sizeof one);
}

KVMainLoop::TimerId KVManualLoop::addTimer(std::chrono::milliseconds interval, bool repeat, Task task) {
    const TimerId id = m_nextId++;
    m_timers.emplace(id,
                     Timer{std::chrono::steady_clock::now() + interval, interval, repeat, std::move(task)});
    return id;
}

void KVManualLoop::cancelTimer(TimerId id) {
    m_timers.erase(id);
}

KVMainLoop::WatchId KVManualLoop::watchFd(int fd, unsigned events, std::function<void(unsigned)> callback) {
    const WatchId id = m_nextId++;
    m_watches.emplace(id, Watch{fd, events, std::move(callback)});
    return id;
}

void KVManualLoop::unwatchFd(WatchId id) {
    m_watches.erase(id);
}

bool KVManualLoop::runPosted() {
    std::deque<Task> tasks;
    {
        std::lock_guard lock(m_postMutex);
        tasks.swap(m_posted);
    }
    for (auto& task : tasks)
        task();
    return !tasks.empty();
}

bool KVManualLoop::runDueTimers() {
    bool ran = false;
    // Fire one due timer at a time: a timer's task may add or cancel timers.
    for (;;) {
        auto due = std::min_element(m_timers.begin(), m_timers.end(),
                                    [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
        if (due == m_timers.end() || due->second.due > std::chrono::steady_clock::now())
            return ran;
        Task task = due->second.task;
        if (due->second.repeat)
            due->second.due += std::max(due->second.interval, std::chrono::milliseconds(1));
        else
            m_timers.erase(due);
        task();
        ran = true;
    }
}

bool KVManualLoop::pollFds(std::chrono::milliseconds wait) {
    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    fds.push_back({m_wakeFd, POLLIN, 0});
    for (const auto& [id, watch] : m_watches) {
        short events = 0;
        if (watch.events & Readable)
            events |= POLLIN;
        if (watch.events & Writable)
            events |= POLLOUT;
        fds.push_back({watch.fd, events, 0});
        ids.push_back(id);
    }
    int ready = ::poll(fds.data(), fds.size(), int(wait.count()));
    if (ready <= 0)
        return false;
    bool ran = false;
    if (fds[0].revents & POLLIN) {
        uint64_t count;
        [[maybe_unused]] auto got = ::read(m_wakeFd, &count, sizeof count);
        serveSends();
        ran = runPosted() || ran;
    }
    for (size_t i = 1; i < fds.size(); ++i) {
        if (!fds[i].revents)
            continue;
        auto watch = m_watches.find(ids[i - 1]);
        if (watch == m_watches.end())
            continue; // removed by an earlier callback of this round
        unsigned events = 0;
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
            events |= Readable;
        if (fds[i].revents & POLLOUT)
            events |= Writable;
        auto callback = watch->second.callback;
        callback(events);
        ran = true;
    }
    return ran;
}

bool KVManualLoop::runOnce(std::chrono::milliseconds wait) {
    serveSends();
    bool ran = runPosted();
    ran = runDueTimers() || ran;
    if (ran)
        wait = std::chrono::milliseconds(0);
    else if (!m_timers.empty()) {
        auto next = std::min_element(m_timers.begin(), m_timers.end(), [](const auto& a, const auto& b) {
            return a.second.due < b.second.due;
        });
        auto untilDue =
            std::chrono::ceil<std::chrono::milliseconds>(next->second.due - std::chrono::steady_clock::now());
        wait = std::clamp(untilDue, std::chrono::milliseconds(0), wait);
    }
    ran = pollFds(wait) || ran;
    return runDueTimers() || ran;
}

bool KVManualLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds(0))
            return done();
        runOnce(std::min(left, std::chrono::milliseconds(10)));
    }
    return true;
}

int KVManualLoop::run() {
    m_quit = false;
    while (!m_quit)
        runOnce(std::chrono::milliseconds(100));
    return m_exitCode;
}

void KVManualLoop::quit(int code) {
    m_exitCode = code;
    m_quit = true;
    wakeForSends();
}
