#include "update/UpdateDesktop.h"

#include "core/Log.h"
#include "device/TavirexCorvane.h"

#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// Runs `xdg-open target` and reaps it in the background: the handler it starts may live long.
bool xdgOpen(const std::string& target) {
    pid_t pid = -1;
    std::string program = "xdg-open";
    std::string argument = target;
    char* argv[] = {program.data(), argument.data(), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
        corvane::logger("update").error("xdg-open cannot be started to open {}", target);
        return false;
    }
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

// The desktop portal lets the user pick the installer and works from a sandbox too; it takes the
// file as an open descriptor.
bool portalOpenFile(const std::string& path) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0)
        return false;
    std::unique_ptr<sd_bus, BusDeleter> bus(raw);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call_method(bus.get(), "org.freedesktop.portal.Desktop",
                                     "/org/freedesktop/portal/desktop", "org.freedesktop.portal.OpenURI",
                                     "OpenFile", &error, &reply, "sha{sv}", "", fd, 0);
    ::close(fd);
    if (r < 0)
        corvane::logger("update").debug("the desktop portal cannot open {}: {}", path,
                                        error.message ? error.message : "no portal");
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    return r >= 0;
}

} // namespace

bool KVCorvaneFirmwareKeyboard::IsKeyboardOpen() const {
    return m_device.IsConnected();
}

std::string KVCorvaneFirmwareKeyboard::FirmwareVersionText() const {
    return m_device.VersionText();
}

bool KVCorvaneFirmwareKeyboard::StageFirmware(std::span<const uint8_t> image) {
    return m_device.StageFirmware(image);
}

bool KVUpdateDesktop::AskOutdatedFirmware(const std::string& text, const std::string& instructionsPage) {
    corvane::logger("update").error("{}", text);
    if (!instructionsPage.empty())
        corvane::logger("update").error("upgrade instructions: {}", instructionsPage);
    return false;
}

void KVUpdateDesktop::OpenPage(const std::string& address) {
    if (address.empty())
        corvane::logger("update").error("no instructions page is configured");
    else
        xdgOpen(address);
}

bool KVUpdateDesktop::OpenPackage(const std::string& path) {
    if (portalOpenFile(path))
        return true;
    return xdgOpen(path);
}
