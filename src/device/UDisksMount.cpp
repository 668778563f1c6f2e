#include "device/UDisksMount.h"

#include "core/Log.h"

#include <cctype>
#include <cstring>
#include <fmt/format.h>
#include <systemd/sd-bus.h>

namespace corvane::device {

std::string udisksBlockObjectPath(const std::string& kernelName) {
    std::string path = "/org/freedesktop/UDisks2/block_devices/";
    for (const unsigned char c : kernelName) {
        if (std::isalnum(c) || c == '_')
            path.push_back(char(c));
        else
            path += fmt::format("_{:02x}", c);
    }
    return path;
}

std::optional<std::string> udisksMount(const std::string& kernelName) {
    sd_bus* bus = nullptr;
    if (const int r = sd_bus_open_system(&bus); r < 0) {
        corvane::logger("device").warn("no system bus to mount {}: {}", kernelName, std::strerror(-r));
        return std::nullopt;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    std::optional<std::string> mountPoint;
    const std::string object = udisksBlockObjectPath(kernelName);
    // No options: UDisks2 picks the user's /media folder and the filesystem's defaults; polkit decides.
    const int r =
        sd_bus_call_method(bus, "org.freedesktop.UDisks2", object.c_str(),
                           "org.freedesktop.UDisks2.Filesystem", "Mount", &error, &reply, "a{sv}", 0);
    const char* path = nullptr;
    if (r >= 0 && sd_bus_message_read(reply, "s", &path) >= 0 && path) {
        mountPoint = path;
        corvane::logger("device").info("mounted {} at {}", kernelName, path);
    } else {
        corvane::logger("device").warn("UDisks2 cannot mount {}: {}", kernelName,
                                       error.message ? error.message : std::strerror(r < 0 ? -r : EINVAL));
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return mountPoint;
}

} // namespace corvane::device
