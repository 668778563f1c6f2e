#include "device/HIDReader.h"

#include "core/Log.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

CHIDReader::CHIDReader(KVMainLoop* loop) : m_wait(loop) {}

CHIDReader::~CHIDReader() {
    Close();
}

bool CHIDReader::Open(IKVDeviceBackend& backend, const std::string& path, ReportHandler onReport) {
    Close();
    m_port = backend.openReportPort(path);
    if (!m_port)
        return false;
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0) {
        corvane::logger("device").error("cannot read {}: {}", path, std::strerror(errno));
        m_port.reset();
        return false;
    }
    m_onReport = std::move(onReport);
    m_done = false;
    m_thread = std::thread([this] { readerMain(); });
    return true;
}

void CHIDReader::Close() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        if (write(m_stopFd, &one, sizeof one) < 0)
            corvane::logger("device").error("cannot stop the report reader: {}", std::strerror(errno));
        m_wait.wait([this] { return m_done.load(); });
        m_thread.join();
    }
    m_port.reset();
    m_onReport = nullptr;
    if (m_stopFd >= 0)
        close(m_stopFd);
    m_stopFd = -1;
}

void CHIDReader::readerMain() {
    for (;;) {
        pollfd fds[2] = {{m_port->pollFd(), POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN)
            break;
        if (fds[0].revents != 0 &&
            !m_port->readReports([this](std::span<const uint8_t> report) { m_onReport(report); }))
            break; // the interface is gone
    }
    m_done = true;
    m_wait.notify();
}

KVHIDDevice::KVHIDDevice(KVMainLoop* loop, KeyClickHandler onKeyClick)
    : m_onKeyClick(std::move(onKeyClick)), m_reader(loop) {}

KVHIDDevice::~KVHIDDevice() {
    m_reader.Close();
}

bool KVHIDDevice::Open(IKVDeviceBackend& backend, const std::string& path) {
    return m_reader.Open(backend, path, [this](std::span<const uint8_t> report) { OnReport(report); });
}

void KVHIDDevice::OnReport(std::span<const uint8_t> report) {
    if (const auto key = m_decoder.feed(report))
        m_onKeyClick(*key);
}
