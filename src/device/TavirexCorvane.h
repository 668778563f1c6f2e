#pragma once

#include "core/KVPtr.h"
#include "core/MainLoop.h"
#include "device/DeviceBackend.h"
#include "device/DeviceFileSet.h"
#include "device/KeyStateReport.h"
#include "device/ServingWait.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

// The keyboard as a device: finds it through a backend (KVUdevBackend for real keyboards,
// KVVirtualKeyboardBackend for a folder), opens it, owns the writer thread that writes its file set and
// reads its key-state reports, and tells its handler about connection, disconnection and keys.
//
// Threads: everything here is called on the user-interface thread (the loop thread of `loop`), except
// that OnKeyDown and OnKeyUp arrive on the writer thread, which the handler hands over with a send to
// that loop. Whenever the user-interface thread waits for the writer (Disconnect, destruction, handler
// changes) it serves those sends meanwhile, so the two never wait for each other; after
// KVMainLoop::refuseSends the writer's sends fail at once instead.
class CTavirexCorvane final {
public:
    class IEventHandler {
    public:
        virtual void OnConnected() = 0;
        virtual void OnDisconnected() = 0;
        virtual void OnKeyDown(unsigned key) = 0;
        virtual void OnKeyUp(unsigned key) = 0;

    protected:
        ~IEventHandler() = default;
    };

    // Starts the writer thread. `loop` may be null where nobody hands callbacks over (tools, tests).
    explicit CTavirexCorvane(KVPtr<IKVDeviceBackend> backend, KVMainLoop* loop = nullptr);
    // Gives the keyboard back (restores its own key codes, switches the displays off, waits for those
    // writes), stops the writer and closes the keyboard. The handler is not called from here on.
    ~CTavirexCorvane();
    CTavirexCorvane(const CTavirexCorvane&) = delete;
    CTavirexCorvane& operator=(const CTavirexCorvane&) = delete;

    // Set and cleared by the owner; waits for a callback in progress on the writer thread.
    void SetEventHandler(IEventHandler* handler);

    std::vector<DeviceInfo> FindDevices();
    // Opens the first usable keyboard that can be opened; false when one is open already or none can be.
    bool Connect();
    // Closes the open keyboard: keys still down are released (OnKeyUp) before OnDisconnected.
    void Disconnect();
    bool IsConnected() const { return m_device.isUsable(); }
    bool IsVolumePresent();

    // Arrival while closed: Connect (1 when a keyboard was opened). Removal while open and the volume
    // gone: Disconnect (2). Otherwise 0.
    int OnDeviceChange(KVDeviceEvent event);
    // Watches the backend's hot-plug events on the loop; arrivals are taken once they settle (a
    // keyboard announces its parts one by one). Needs the loop; false without one or without events.
    bool StartMonitoring();
    void StopMonitoring();

    // The volume shown to the user (see the backend for what that means on each).
    bool MountDrive();
    bool UnmountDrive();

    const DeviceInfo& CurrentDevice() const { return m_device; }
    uint32_t Model() const { return m_device.model; }
    const ModelDescriptor& Descriptor() const { return corvane::device::modelDescriptor(m_device.model); }
    uint32_t SectorSize() const { return m_sectorSize; }
    bool IsKeyStateOpen() const;
    corvane::device::KeyStateReport LastKeyStateReport() const;
    // The firmware's version text of the last keyboard opened (kept after it is closed).
    const std::string& VersionText() const { return m_version; }

    // The file set; each does nothing (false) while no keyboard is open.
    // 48 x 48 pixels, bottom row first, blue-green-red (and an ignored fourth byte for 32 bits).
    bool SetKeyImage24(unsigned key, std::span<const uint8_t> pixels);
    bool SetKeyImage32(unsigned key, std::span<const uint8_t> pixels);
    bool SetKeyCode(unsigned key, uint8_t code);
    void RestoreKeyCodes();
    void SetDisplaysActive(bool active);
    void SetBrightness(unsigned brightness, bool automatic);
    void SetSleepDelay(unsigned seconds);
    void QueueCommand(std::string text);
    bool StageFirmware(std::span<const uint8_t> image);

    // For updates of many keys: stage through the file set without waking the writer, then wake it once.
    KVDeviceFileSet* FileSet() { return m_fileSet.get(); }
    void WakeWriter();
    // Waits until the writer has served every wake-up given so far (tests, tools, shutdown).
    void WaitForWriter();
    unsigned WritesDone() const { return m_fileSet ? m_fileSet->totalWrites() : 0; }

private:
    bool open(const DeviceInfo& device);
    void writerMain();
    void processReport(std::span<const uint8_t> report);
    void deliver(const std::function<void(IEventHandler&)>& call);
    void onMonitorReadable();

    KVPtr<IKVDeviceBackend> m_backend;
    KVMainLoop* m_loop;
    KVServingWait m_wait;

    // User-interface thread.
    DeviceInfo m_device;
    uint32_t m_sectorSize = 0;
    std::string m_version;
    KVMainLoop::WatchId m_monitorWatch = 0;
    KVMainLoop::TimerId m_arrivalTimer = 0;
    bool m_writerRunning = false;

    // Shared with the writer: what it may use, and the request to let go of it.
    mutable std::mutex m_sessionMutex;
    std::unique_ptr<KVDeviceFileSet> m_fileSet;
    std::unique_ptr<IKVReportPort> m_keyState;
    bool m_attached = false;
    bool m_keyStateAlive = false;
    bool m_detachRequested = false;

    mutable std::mutex m_reportMutex;
    corvane::device::KeyStateReport m_lastReport{};
    uint32_t m_reportModel = KeyboardModelUnknown;
    std::vector<corvane::device::KeyStateChange> m_changes;

    // Held by the writer while it calls the handler, so that SetEventHandler can wait for it.
    std::mutex m_handlerMutex;
    IEventHandler* m_handler = nullptr;

    int m_wakeFd = -1;
    int m_stopFd = -1;
    std::atomic<uint64_t> m_wakeRequests = 0;
    std::atomic<uint64_t> m_wakesServed = 0;
    std::atomic<bool> m_writerDone = false;
    std::thread m_writer;
};
