#pragma once

#include "core/KVPtr.h"
#include "devicectl/IdleSource.h"

#include <chrono>
#include <optional>
#include <string>

struct sd_bus;

// The session's idle time asked of the desktop over the session bus, where Wayland hides input from
// other programs: GNOME's Mutter idle monitor, else the screen-saver service that KDE and others offer.
class KVSessionBusIdle final : public IKVIdleSource {
public:
    enum class Service { MutterIdleMonitor, FreedesktopScreenSaver };

    // Connects to the session bus (`busAddress` when given) and keeps the first service that answers;
    // empty when none does.
    static KVPtr<KVSessionBusIdle> open(const std::string& busAddress = {});
    ~KVSessionBusIdle() override;
    KVSessionBusIdle(const KVSessionBusIdle&) = delete;
    KVSessionBusIdle& operator=(const KVSessionBusIdle&) = delete;

    std::optional<std::chrono::milliseconds> IdleTime() override;
    Service service() const { return m_service; }
    // What the log calls it.
    const char* name() const;

private:
    using Clock = std::chrono::steady_clock;
    KVSessionBusIdle(sd_bus* bus, Service service);
    std::optional<std::chrono::milliseconds> ask();

    sd_bus* m_bus;
    Service m_service;
    // The device controller asks ten times a second; the bus is asked at most once a second and the time
    // in between counted here.
    std::optional<std::chrono::milliseconds> m_lastAnswer;
    Clock::time_point m_askedAt{};
    bool m_failing = false;
};
