#include "device/TavirexCorvane.h"

#include "core/Log.h"
#include "device/DeviceCommands.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace corvane::device;

namespace {

// The keyboard object whose writer runs on this thread, if any.
thread_local const CTavirexCorvane* t_writerOf = nullptr;

// Parts of a keyboard announce themselves one by one; connect once they have been quiet this long.
constexpr auto kArrivalSettle = std::chrono::milliseconds(300);

void signal(int eventFd) {
    const uint64_t one = 1;
    while (write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void drain(int eventFd) {
    uint64_t count;
    while (read(eventFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

} // namespace

CTavirexCorvane::CTavirexCorvane(KVPtr<IKVDeviceBackend> backend, KVMainLoop* loop)
    : m_backend(std::move(backend)), m_loop(loop), m_wait(loop) {
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0 || m_stopFd < 0 || !m_backend) {
        corvane::logger("device").error("cannot start the writer: {}", std::strerror(errno));
        return;
    }
    m_writer = std::thread([this] { writerMain(); });
    m_writerRunning = true;
}

CTavirexCorvane::~CTavirexCorvane() {
    SetEventHandler(nullptr);
    StopMonitoring();
    if (IsConnected()) {
        RestoreKeyCodes();
        SetDisplaysActive(false);
    }
    if (m_writerRunning) {
        // The writer serves the wake-up above before it sees the stop: the keyboard gets its own codes
        // back and dark displays before we let go.
        signal(m_stopFd);
        m_wait.wait([this] { return m_writerDone.load(); });
        m_writer.join();
        m_writerRunning = false;
    }
    Disconnect();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
    if (m_stopFd >= 0)
        close(m_stopFd);
}

void CTavirexCorvane::SetEventHandler(IEventHandler* handler) {
    m_wait.lock(m_handlerMutex);
    m_handler = handler;
    m_handlerMutex.unlock();
}

void CTavirexCorvane::deliver(const std::function<void(IEventHandler&)>& call) {
    if (t_writerOf != this) {
        // The owner's own thread: the handler cannot change under us.
        if (m_handler)
            call(*m_handler);
        return;
    }
    std::lock_guard lock(m_handlerMutex);
    if (m_handler)
        call(*m_handler);
}

std::vector<DeviceInfo> CTavirexCorvane::FindDevices() {
    return m_backend ? m_backend->findDevices() : std::vector<DeviceInfo>{};
}

bool CTavirexCorvane::Connect() {
    if (IsConnected() || !m_writerRunning)
        return false;
    for (const DeviceInfo& device : FindDevices()) {
        if (open(device))
            return true;
    }
    return false;
}

bool CTavirexCorvane::open(const DeviceInfo& device) {
    if (IsConnected() || !device.isUsable())
        return false;
    const uint32_t sectorSize = m_backend->sectorSize(device);
    if (sectorSize == 0) {
        corvane::logger("device").warn("the volume {} does not answer", device.volumeName);
        return false;
    }
    auto fileSet = KVDeviceFileSet::build(device.volumeName, device.model, sectorSize);
    if (!fileSet)
        return false;
    m_version = fileSet->versionText();
    m_sectorSize = sectorSize;
    // Without the key-state interface the keyboard is usable all the same; keys then report through
    // signatures on the standard interface.
    std::unique_ptr<IKVReportPort> keyState;
    if (!device.secondHidPath.empty())
        keyState = m_backend->openReportPort(device.secondHidPath);
    {
        std::lock_guard lock(m_reportMutex);
        m_lastReport.fill(0);
        m_reportModel = device.model;
    }
    {
        std::lock_guard lock(m_sessionMutex);
        m_fileSet = std::move(fileSet);
        m_keyState = std::move(keyState);
        m_keyStateAlive = m_keyState != nullptr;
        m_attached = true;
    }
    m_device = device;
    corvane::logger("device").info("keyboard (model {}) open at {}, firmware \"{}\"", device.model,
                                   device.volumeName, m_version);
    WakeWriter(); // the writer starts reading the key-state interface
    deliver([](IEventHandler& handler) { handler.OnConnected(); });
    SetDisplaysActive(true);
    return true;
}

void CTavirexCorvane::Disconnect() {
    if (!IsConnected())
        return;
    if (m_writerRunning && !m_writerDone) {
        // The writer lets go between two of its rounds; it releases held keys on its way out.
        {
            std::lock_guard lock(m_sessionMutex);
            m_detachRequested = true;
        }
        signal(m_wakeFd);
        m_wait.wait([this] {
            std::lock_guard lock(m_sessionMutex);
            return !m_attached || m_writerDone;
        });
    }
    bool stillAttached;
    {
        std::lock_guard lock(m_sessionMutex);
        stillAttached = m_attached;
    }
    if (stillAttached) { // no writer to do it
        static constexpr KeyStateReport kNothingDown{};
        processReport(kNothingDown);
    }
    {
        std::lock_guard lock(m_sessionMutex);
        m_attached = false;
        m_keyState.reset();
        m_keyStateAlive = false;
        m_fileSet.reset();
    }
    corvane::logger("device").info("keyboard at {} closed", m_device.volumeName);
    m_device = DeviceInfo{};
    m_sectorSize = 0;
    deliver([](IEventHandler& handler) { handler.OnDisconnected(); });
}

bool CTavirexCorvane::IsVolumePresent() {
    return IsConnected() && m_backend->isVolumePresent(m_device);
}

int CTavirexCorvane::OnDeviceChange(KVDeviceEvent event) {
    if (event == KVDeviceEvent::Arrival && !IsConnected())
        return Connect() ? 1 : 0;
    if (event == KVDeviceEvent::Removal && IsConnected() && !IsVolumePresent()) {
        Disconnect();
        return 2;
    }
    return 0;
}

bool CTavirexCorvane::StartMonitoring() {
    if (!m_loop || m_monitorWatch != 0 || !m_backend)
        return m_monitorWatch != 0;
    const int fd = m_backend->monitorFd();
    if (fd < 0)
        return false;
    m_monitorWatch = m_loop->watchFd(fd, KVMainLoop::Readable, [this](unsigned) { onMonitorReadable(); });
    return true;
}

void CTavirexCorvane::StopMonitoring() {
    if (!m_loop)
        return;
    if (m_monitorWatch != 0)
        m_loop->unwatchFd(m_monitorWatch);
    if (m_arrivalTimer != 0)
        m_loop->cancelTimer(m_arrivalTimer);
    m_monitorWatch = 0;
    m_arrivalTimer = 0;
}

void CTavirexCorvane::onMonitorReadable() {
    bool arrival = false;
    for (const KVDeviceEvent event : m_backend->readMonitor()) {
        if (event == KVDeviceEvent::Removal)
            OnDeviceChange(event);
        else
            arrival = true;
    }
    if (!arrival || IsConnected())
        return;
    if (m_arrivalTimer != 0)
        m_loop->cancelTimer(m_arrivalTimer);
    m_arrivalTimer = m_loop->addTimer(kArrivalSettle, false, [this] {
        m_arrivalTimer = 0;
        OnDeviceChange(KVDeviceEvent::Arrival);
    });
}

bool CTavirexCorvane::MountDrive() {
    return IsConnected() && m_backend->mountDrive(m_device);
}

bool CTavirexCorvane::UnmountDrive() {
    return IsConnected() && m_backend->unmountDrive(m_device);
}

bool CTavirexCorvane::IsKeyStateOpen() const {
    std::lock_guard lock(m_sessionMutex);
    return m_attached && m_keyStateAlive;
}

KeyStateReport CTavirexCorvane::LastKeyStateReport() const {
    std::lock_guard lock(m_reportMutex);
    return m_lastReport;
}

void CTavirexCorvane::processReport(std::span<const uint8_t> report) {
    if (report.size() != kKeyStateReportSize)
        return;
    {
        std::lock_guard lock(m_reportMutex);
        m_changes.clear();
        keyStateChanges(m_reportModel, m_lastReport, report.first<kKeyStateReportSize>(), m_changes);
        std::copy(report.begin(), report.end(), m_lastReport.begin());
    }
    // m_changes is touched only by the thread that processes reports (the writer, or the closing
    // thread once the writer has stopped).
    if (m_changes.empty())
        return;
    deliver([this](IEventHandler& handler) {
        for (const KeyStateChange& change : m_changes) {
            if (change.pressed)
                handler.OnKeyDown(change.key);
            else
                handler.OnKeyUp(change.key);
        }
    });
}

void CTavirexCorvane::writerMain() {
    t_writerOf = this;
    static constexpr KeyStateReport kNothingDown{};
    const KVDeviceFileSet::Pause pause = [](std::chrono::milliseconds time) {
        std::this_thread::sleep_for(time);
    };
    for (;;) {
        IKVReportPort* keyState = nullptr;
        {
            std::lock_guard lock(m_sessionMutex);
            if (m_attached && m_keyStateAlive)
                keyState = m_keyState.get();
        }
        // Order matters: reports before writes, writes before stopping.
        pollfd fds[3] = {
            {keyState ? keyState->pollFd() : -1, POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            corvane::logger("device").error("the writer cannot wait: {}", std::strerror(errno));
            break;
        }
        if (keyState && fds[0].revents != 0) {
            const bool alive =
                keyState->readReports([this](std::span<const uint8_t> report) { processReport(report); });
            if (!alive) {
                std::lock_guard lock(m_sessionMutex);
                m_keyStateAlive = false;
            }
        }
        if (fds[1].revents & POLLIN) {
            // Drain before reading the count: a request made in between signals again after our
            // drain, so it is served by the next round instead of its wake-up being swallowed here.
            drain(m_wakeFd);
            const uint64_t requests = m_wakeRequests.load();
            KVDeviceFileSet* fileSet = nullptr;
            bool detach = false;
            {
                std::lock_guard lock(m_sessionMutex);
                detach = m_detachRequested;
                fileSet = m_attached ? m_fileSet.get() : nullptr;
            }
            if (detach) {
                processReport(kNothingDown);
                std::lock_guard lock(m_sessionMutex);
                m_detachRequested = false;
                m_attached = false;
            } else if (fileSet) {
                fileSet->flushFiles(pause);
            }
            m_wakesServed = requests;
            m_wait.notify();
        }
        if (fds[2].revents & POLLIN)
            break;
    }
    m_writerDone = true;
    m_wait.notify();
}

void CTavirexCorvane::WakeWriter() {
    if (!m_writerRunning)
        return;
    ++m_wakeRequests;
    signal(m_wakeFd);
}

void CTavirexCorvane::WaitForWriter() {
    if (!m_writerRunning)
        return;
    const uint64_t wanted = m_wakeRequests.load();
    m_wait.wait([&] { return m_wakesServed.load() >= wanted || m_writerDone.load(); });
}

bool CTavirexCorvane::SetKeyImage24(unsigned key, std::span<const uint8_t> pixels) {
    if (!m_fileSet || pixels.size() < kPixels24Size)
        return false;
    if (m_fileSet->stageKeyImage(key, pixels, 3))
        WakeWriter();
    return true;
}

bool CTavirexCorvane::SetKeyImage32(unsigned key, std::span<const uint8_t> pixels) {
    if (!m_fileSet || pixels.size() < kPixels32Size)
        return false;
    if (m_fileSet->stageKeyImage(key, pixels, 4))
        WakeWriter();
    return true;
}

bool CTavirexCorvane::SetKeyCode(unsigned key, uint8_t code) {
    if (!m_fileSet)
        return false;
    const auto changed = m_fileSet->setKeyCode(key, code);
    if (changed.value_or(false))
        WakeWriter();
    return changed.has_value();
}

void CTavirexCorvane::RestoreKeyCodes() {
    if (m_fileSet && m_fileSet->restoreKeyCodes())
        WakeWriter();
}

void CTavirexCorvane::SetDisplaysActive(bool active) {
    if (m_fileSet && m_fileSet->setDisplaysActive(active))
        WakeWriter();
}

void CTavirexCorvane::SetBrightness(unsigned brightness, bool automatic) {
    QueueCommand(brightnessCommand(brightness, automatic));
}

void CTavirexCorvane::SetSleepDelay(unsigned seconds) {
    QueueCommand(sleepCommand(seconds));
}

void CTavirexCorvane::QueueCommand(std::string text) {
    if (!m_fileSet)
        return;
    m_fileSet->queueCommand(std::move(text));
    WakeWriter();
}

bool CTavirexCorvane::StageFirmware(std::span<const uint8_t> image) {
    if (!m_fileSet || !m_fileSet->stageFirmware(image))
        return false;
    WakeWriter();
    return true;
}
