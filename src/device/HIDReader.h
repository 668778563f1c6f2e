#pragma once

#include "core/MainLoop.h"
#include "device/DeviceBackend.h"
#include "device/KeySignatureDecoder.h"
#include "device/ServingWait.h"

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <thread>

// Reads one HID interface on a thread of its own and hands every report to OnReport (on that thread).
// A class that overrides OnReport, or anything OnReport calls, closes the reader in its destructor.
class CHIDReader {
public:
    // `loop`: as for CTavirexCorvane, the loop that OnReport's work is handed to; Close() serves its
    // sends while it waits for the thread.
    explicit CHIDReader(KVMainLoop* loop = nullptr);
    virtual ~CHIDReader();
    CHIDReader(const CHIDReader&) = delete;
    CHIDReader& operator=(const CHIDReader&) = delete;

    // Closes a running reader, then opens `path` through `backend` and starts reading.
    bool Open(KVDeviceBackend& backend, const std::string& path);
    void Close();
    bool IsOpen() const { return m_thread.joinable(); }

protected:
    virtual void OnReport(std::span<const uint8_t> report) = 0;

private:
    void readerMain();

    KVServingWait m_wait;
    std::unique_ptr<KVReportPort> m_port;
    int m_stopFd = -1;
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};

// Listens on the keyboard's standard interface for key signatures and reports each decoded key.
class KVHIDDevice : public CHIDReader {
public:
    using CHIDReader::CHIDReader;

protected:
    // A key with a signature record was clicked (pressed and released).
    virtual void OnKeyClick(unsigned key) = 0;
    void OnReport(std::span<const uint8_t> report) override;

private:
    corvane::device::KVSignatureDecoder m_decoder;
};
