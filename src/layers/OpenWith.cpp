#include "layers/OpenWith.h"

#include "core/Log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kOpenUri = "org.freedesktop.portal.OpenURI";
// The portal answers at once and shows its chooser afterwards; a bus that is slower than this has no
// working portal.
constexpr uint64_t kPortalTimeoutUs = 3'000'000;

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

sd_bus* connect(const std::string& address) {
    sd_bus* bus = nullptr;
    if (address.empty())
        return sd_bus_open_user(&bus) >= 0 ? bus : nullptr;
    if (sd_bus_new(&bus) < 0)
        return nullptr;
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return bus;
}

} // namespace

KVDesktopOpenWith::KVDesktopOpenWith(std::string busAddress, std::string fallback)
    : m_busAddress(std::move(busAddress)), m_fallback(std::move(fallback)) {}

bool KVDesktopOpenWith::open(const std::string& path) {
    return askPortal(path) || startFallback(path);
}

bool KVDesktopOpenWith::askPortal(const std::string& path) {
    std::unique_ptr<sd_bus, BusUnref> bus(connect(m_busAddress));
    if (!bus) {
        corvane::logger("layers").info("no session bus; opening {} with {}", path, m_fallback);
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        corvane::logger("layers").error("{} cannot be opened: {}", path, std::strerror(errno));
        return false;
    }
    sd_bus_message* raw = nullptr;
    int result = sd_bus_message_new_method_call(bus.get(), &raw, kPortal, kPortalPath, kOpenUri, "OpenFile");
    std::unique_ptr<sd_bus_message, MessageUnref> call(raw);
    // The descriptor is duplicated into the message; ours is closed below either way.
    if (result >= 0)
        result = sd_bus_message_append(call.get(), "sha{sv}", "", fd, 2, "ask", "b", 1, "writable", "b", 1);
    ::close(fd);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (result >= 0)
        result = sd_bus_call(bus.get(), call.get(), kPortalTimeoutUs, &error, &reply);
    sd_bus_message_unref(reply);
    if (result < 0) {
        corvane::logger("layers").info("the desktop portal did not take {} ({}); trying {}", path,
                                       error.message ? error.message : std::strerror(-result), m_fallback);
        sd_bus_error_free(&error);
        return false;
    }
    sd_bus_error_free(&error);
    return true;
}

bool KVDesktopOpenWith::startFallback(const std::string& path) {
    // Forked twice, so the opener is nobody's child here and needs no reaping.
    const pid_t child = ::fork();
    if (child < 0) {
        corvane::logger("layers").error("cannot start {}: {}", m_fallback, std::strerror(errno));
        return false;
    }
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            const char* argv[] = {m_fallback.c_str(), path.c_str(), nullptr};
            ::execvp(argv[0], const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}
