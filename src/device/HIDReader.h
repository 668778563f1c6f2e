#pragma once

#include "core/MainLoop.h"
#include "device/DeviceBackend.h"
#include "device/KeySignatureDecoder.h"
#include "device/ServingWait.h"

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>

// Reads one HID interface on a thread of its own and hands every report to the handler given to Open
// (on that thread). The handler is the reader's own: it is called until Close returns, never after.
class CHIDReader {
public:
    using ReportHandler = std::function<void(std::span<const uint8_t> report)>;

    // `loop`: as for CTavirexCorvane, the loop that the handler's work is handed to; Close() serves its
    // sends while it waits for the thread.
    explicit CHIDReader(KVMainLoop* loop = nullptr);
    ~CHIDReader();
    CHIDReader(const CHIDReader&) = delete;
    CHIDReader& operator=(const CHIDReader&) = delete;

    // Closes a running reader, then opens `path` through `backend` and starts reading.
    bool Open(IKVDeviceBackend& backend, const std::string& path, ReportHandler onReport);
    void Close();
    bool IsOpen() const { return m_thread.joinable(); }

private:
    void readerMain();

    KVServingWait m_wait;
    std::unique_ptr<IKVReportPort> m_port;
    ReportHandler m_onReport;
    int m_stopFd = -1;
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};

// Listens on the keyboard's standard interface for key signatures and reports each decoded key to the
// owner's OnKeyClick, on the reader's thread.
class KVHIDDevice {
public:
    // A key with a signature record was clicked (pressed and released).
    using KeyClickHandler = std::function<void(unsigned key)>;

    KVHIDDevice(KVMainLoop* loop, KeyClickHandler onKeyClick);
    // Stops the reader before the decoder it feeds goes.
    ~KVHIDDevice();

    bool Open(IKVDeviceBackend& backend, const std::string& path);
    void Close() { m_reader.Close(); }
    bool IsOpen() const { return m_reader.IsOpen(); }

private:
    void OnReport(std::span<const uint8_t> report);

    KeyClickHandler m_onKeyClick;
    corvane::device::KVSignatureDecoder m_decoder;
    CHIDReader m_reader;
};
