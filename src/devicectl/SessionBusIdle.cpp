#include "devicectl/SessionBusIdle.h"

#include "core/Log.h"

#include <cstring>
#include <systemd/sd-bus.h>

namespace {

struct Method {
    const char* service;
    const char* path;
    const char* interface;
    const char* member;
    // Its answer: "t" or "u", in milliseconds.
    const char* signature;
};

constexpr Method kMutter{"org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                         "org.gnome.Mutter.IdleMonitor", "GetIdletime", "t"};
constexpr Method kScreenSaver{"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                              "org.freedesktop.ScreenSaver", "GetSessionIdleTime", "u"};

// The tick runs on the user-interface thread: a desktop that does not answer must not stall it long.
constexpr uint64_t kCallTimeoutUs = 500'000;
constexpr auto kAskEvery = std::chrono::seconds(1);
// After a failed call, how long the keyboard goes without idle time before the bus is asked again.
constexpr auto kRetryAfter = std::chrono::seconds(10);

auto& log() {
    return corvane::logger("devicectl");
}

const Method& methodOf(KVSessionBusIdle::Service service) {
    return service == KVSessionBusIdle::Service::MutterIdleMonitor ? kMutter : kScreenSaver;
}

std::optional<std::chrono::milliseconds> call(sd_bus* bus, const Method& method, std::string* failure) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    std::optional<std::chrono::milliseconds> idle;
    int result = sd_bus_call_method(bus, method.service, method.path, method.interface, method.member, &error,
                                    &reply, "");
    if (result >= 0) {
        uint64_t wide = 0;
        uint32_t narrow = 0;
        result = method.signature[0] == 't' ? sd_bus_message_read(reply, "t", &wide)
                                            : sd_bus_message_read(reply, "u", &narrow);
        if (result > 0)
            idle = std::chrono::milliseconds(method.signature[0] == 't' ? wide : narrow);
    }
    if (!idle && failure)
        *failure = error.message ? error.message : std::strerror(result < 0 ? -result : EBADMSG);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return idle;
}

} // namespace

KVPtr<KVSessionBusIdle> KVSessionBusIdle::open(const std::string& busAddress) {
    sd_bus* bus = nullptr;
    int result = 0;
    if (busAddress.empty()) {
        result = sd_bus_open_user(&bus);
    } else if ((result = sd_bus_new(&bus)) >= 0) {
        sd_bus_set_address(bus, busAddress.c_str());
        sd_bus_set_bus_client(bus, 1);
        result = sd_bus_start(bus);
    }
    if (result < 0) {
        log().info("idle time: no session bus: {}", std::strerror(-result));
        sd_bus_unref(bus);
        return {};
    }
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
    for (Service service : {Service::MutterIdleMonitor, Service::FreedesktopScreenSaver}) {
        std::string failure;
        if (call(bus, methodOf(service), &failure))
            return KVPtr<KVSessionBusIdle>(new KVSessionBusIdle(bus, service));
        log().debug("idle time: {} does not answer: {}", methodOf(service).service, failure);
    }
    log().info("idle time: the session bus offers neither GNOME's idle monitor nor a screen-saver service");
    sd_bus_flush_close_unref(bus);
    return {};
}

KVSessionBusIdle::KVSessionBusIdle(sd_bus* bus, Service service) : m_bus(bus), m_service(service) {}

KVSessionBusIdle::~KVSessionBusIdle() {
    sd_bus_flush_close_unref(m_bus);
}

const char* KVSessionBusIdle::name() const {
    return m_service == Service::MutterIdleMonitor ? "GNOME's idle monitor"
                                                   : "the session's screen-saver service";
}

std::optional<std::chrono::milliseconds> KVSessionBusIdle::IdleTime() {
    const auto now = Clock::now();
    const auto since = now - m_askedAt;
    if (since < (m_failing ? kRetryAfter : kAskEvery))
        return m_lastAnswer ? std::optional(*m_lastAnswer +
                                            std::chrono::duration_cast<std::chrono::milliseconds>(since))
                            : std::nullopt;
    m_askedAt = now;
    return ask();
}

std::optional<std::chrono::milliseconds> KVSessionBusIdle::ask() {
    std::string failure;
    m_lastAnswer = call(m_bus, methodOf(m_service), &failure);
    if (!m_lastAnswer && !m_failing)
        log().warn("idle time: {} stopped answering ({}); asking again in {} s", methodOf(m_service).service,
                   failure, kRetryAfter.count());
    else if (m_lastAnswer && m_failing)
        log().info("idle time: {} answers again", methodOf(m_service).service);
    m_failing = !m_lastAnswer;
    return m_lastAnswer;
}
