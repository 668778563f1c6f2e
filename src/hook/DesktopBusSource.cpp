#include "hook/DesktopBusSource.h"

#include "core/Log.h"
#include "core/Strings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace {

constexpr const char* kKWin = "org.kde.KWin";
constexpr const char* kKWinScripting = "org.kde.kwin.Scripting";
constexpr const char* kScriptName = "corvane-foreground";
constexpr const char* kKeyboard = "org.kde.keyboard";
constexpr const char* kKeyboardPath = "/Layouts";
constexpr const char* kKeyboardLayouts = "org.kde.KeyboardLayouts";
constexpr const char* kGnomeShell = "org.gnome.Shell";
// Start-up must not hang on a compositor that does not answer.
constexpr uint64_t kCallTimeoutUs = 2'000'000;

auto& log() {
    return corvane::logger("hook");
}

bool hasOwner(sd_bus* bus, const char* name) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int has = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", &error, &reply, "s", name) >= 0)
        sd_bus_message_read(reply, "b", &has);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return has != 0;
}

// The private copy of the KWin script that KWin reads: in the runtime folder, readable by this user only.
std::string writeScript() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string pattern = std::string(runtime && *runtime ? runtime : "/tmp") + "/corvane-kwin-XXXXXX.js";
    int fd = ::mkstemps(pattern.data(), 3);
    if (fd < 0)
        return {};
    const std::string_view text = corvane::kKWinForegroundScript;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    if (!written) {
        ::unlink(pattern.c_str());
        return {};
    }
    return pattern;
}

} // namespace

struct KVDesktopBusSource::Callbacks {
    static int windowActivated(sd_bus_message* message, void* self, sd_bus_error*) {
        uint32_t pid = 0;
        const char* windowClass = nullptr;
        const char* appId = nullptr;
        int result = sd_bus_message_read(message, "uss", &pid, &windowClass, &appId);
        if (result < 0)
            return result;
        KVWindowOwner owner;
        if (pid > 0)
            owner.pid = pid_t(pid);
        for (const char* name : {appId, windowClass})
            if (auto lower = corvane::asciiLower(name ? name : "");
                !lower.empty() &&
                std::find(owner.names.begin(), owner.names.end(), lower) == owner.names.end())
                owner.names.push_back(std::move(lower));
        auto* source = static_cast<KVDesktopBusSource*>(self);
        if (source->m_listener.foregroundChanged)
            source->m_listener.foregroundChanged(owner);
        return sd_bus_reply_method_return(message, nullptr);
    }

    static int layoutsChanged(sd_bus_message* message, void* self, sd_bus_error*) {
        char** names = nullptr;
        uint32_t current = 0;
        int result = sd_bus_message_read_strv(message, &names);
        if (result >= 0)
            result = sd_bus_message_read(message, "u", &current);
        std::vector<std::string> layouts;
        for (char** name = names; name && *name; ++name) {
            layouts.emplace_back(*name);
            std::free(*name);
        }
        std::free(names);
        if (result < 0)
            return result;
        static_cast<KVDesktopBusSource*>(self)->setLayouts(std::move(layouts), current, true);
        return sd_bus_reply_method_return(message, nullptr);
    }

    static int kdeLayoutChanged(sd_bus_message*, void* self, sd_bus_error*) {
        static_cast<KVDesktopBusSource*>(self)->readKdeLayouts(true);
        return 0;
    }

    static const sd_bus_vtable* vtable() {
        static const sd_bus_vtable table[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("WindowActivated", "uss", "", &windowActivated, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("LayoutsChanged", "asu", "", &layoutsChanged, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END,
        };
        return table;
    }
};

std::unique_ptr<KVDesktopBusSource> KVDesktopBusSource::connect(KVMainLoop& loop,
                                                                const std::string& busAddress) {
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
        log().info("no session bus to ask for KWin or GNOME Shell: {}", std::strerror(-result));
        sd_bus_unref(bus);
        return nullptr;
    }
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
    std::optional<Desktop> desktop;
    if (hasOwner(bus, kKWin))
        desktop = Desktop::Kde;
    else if (hasOwner(bus, kGnomeShell))
        desktop = Desktop::Gnome;
    if (!desktop) {
        sd_bus_flush_close_unref(bus);
        return nullptr;
    }
    return std::unique_ptr<KVDesktopBusSource>(new KVDesktopBusSource(loop, bus, *desktop));
}

KVDesktopBusSource::KVDesktopBusSource(KVMainLoop& loop, sd_bus* bus, Desktop desktop)
    : m_loop(loop), m_bus(bus), m_desktop(desktop) {}

KVDesktopBusSource::~KVDesktopBusSource() {
    unloadKWinScript();
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    sd_bus_slot_unref(m_layoutSignal);
    sd_bus_slot_unref(m_layoutListSignal);
    sd_bus_slot_unref(m_object);
    sd_bus_flush_close_unref(m_bus);
}

const char* KVDesktopBusSource::name() const {
    return m_desktop == Desktop::Kde ? "KWin script and KDE keyboard layouts" : "the GNOME Shell extension";
}

void KVDesktopBusSource::start(Listener listener) {
    m_listener = std::move(listener);
    int result =
        sd_bus_add_object_vtable(m_bus, &m_object, kObjectPath, kInterface, Callbacks::vtable(), this);
    if (result >= 0)
        result = sd_bus_request_name(m_bus, kServiceName, 0);
    if (result < 0) {
        log().error("cannot offer {} on the session bus ({}): the foreground program is not followed",
                    kServiceName, std::strerror(-result));
        return;
    }
    m_watch = m_loop.watchFd(sd_bus_get_fd(m_bus), KVMainLoop::Readable, [this](unsigned) { processBus(); });
    if (m_desktop == Desktop::Kde) {
        if (!loadKWinScript())
            log().error(
                "KWin did not take the script that reports the active window: the foreground program is "
                "not followed");
        sd_bus_match_signal(m_bus, &m_layoutSignal, kKeyboard, kKeyboardPath, kKeyboardLayouts,
                            "layoutChanged", &Callbacks::kdeLayoutChanged, this);
        sd_bus_match_signal(m_bus, &m_layoutListSignal, kKeyboard, kKeyboardPath, kKeyboardLayouts,
                            "layoutListChanged", &Callbacks::kdeLayoutChanged, this);
        readKdeLayouts(false);
    } else {
        log().info(
            "on GNOME the focused program and the input source are reported by the Shell extension {}; "
            "enable it once with: gnome-extensions enable {}",
            kGnomeExtension, kGnomeExtension);
    }
    processBus();
}

void KVDesktopBusSource::processBus() {
    int result;
    while ((result = sd_bus_process(m_bus, nullptr)) > 0) {
    }
    if (result < 0) {
        log().error("lost the session bus: the foreground program is no longer followed: {}",
                    std::strerror(-result));
        m_loop.unwatchFd(*m_watch);
        m_watch.reset();
        return;
    }
    sd_bus_flush(m_bus);
}

bool KVDesktopBusSource::loadKWinScript() {
    m_scriptFile = writeScript();
    if (m_scriptFile.empty())
        return false;
    // A script of that name left by an earlier run that ended abruptly would refuse the new one.
    sd_bus_call_method(m_bus, kKWin, "/Scripting", kKWinScripting, "unloadScript", nullptr, nullptr, "s",
                       kScriptName);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int32_t id = -1;
    if (sd_bus_call_method(m_bus, kKWin, "/Scripting", kKWinScripting, "loadScript", &error, &reply, "ss",
                           m_scriptFile.c_str(), kScriptName) >= 0)
        sd_bus_message_read(reply, "i", &id);
    else
        log().warn("KWin's loadScript failed: {}", error.message ? error.message : "no answer");
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    if (id < 0)
        return false;
    m_scriptLoaded = true;
    return sd_bus_call_method(m_bus, kKWin, "/Scripting", kKWinScripting, "start", nullptr, nullptr, "") >= 0;
}

void KVDesktopBusSource::unloadKWinScript() {
    if (m_scriptLoaded)
        sd_bus_call_method(m_bus, kKWin, "/Scripting", kKWinScripting, "unloadScript", nullptr, nullptr, "s",
                           kScriptName);
    m_scriptLoaded = false;
    if (!m_scriptFile.empty())
        ::unlink(m_scriptFile.c_str());
    m_scriptFile.clear();
}

void KVDesktopBusSource::readKdeLayouts(bool announce) {
    sd_bus_message* reply = nullptr;
    std::vector<std::string> layouts;
    if (sd_bus_call_method(m_bus, kKeyboard, kKeyboardPath, kKeyboardLayouts, "getLayoutsList", nullptr,
                           &reply, "") >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "(sss)") >= 0) {
        const char* layout = nullptr;
        const char* variant = nullptr;
        const char* description = nullptr;
        while (sd_bus_message_read(reply, "(sss)", &layout, &variant, &description) > 0)
            layouts.push_back(variant && *variant ? std::string(layout) + "(" + variant + ")"
                                                  : std::string(layout));
    }
    reply = sd_bus_message_unref(reply);
    uint32_t current = 0;
    if (sd_bus_call_method(m_bus, kKeyboard, kKeyboardPath, kKeyboardLayouts, "getLayout", nullptr, &reply,
                           "") >= 0)
        sd_bus_message_read(reply, "u", &current);
    sd_bus_message_unref(reply);
    if (layouts.empty())
        log().warn("KDE's keyboard service names no layouts");
    setLayouts(std::move(layouts), current, announce);
}

void KVDesktopBusSource::setLayouts(std::vector<std::string> layouts, unsigned current, bool announce) {
    const auto group = uint8_t(current < layouts.size() ? current : 0);
    if (layouts == m_layouts && group == m_group)
        return;
    m_layouts = std::move(layouts);
    m_group = group;
    if (announce && m_listener.layoutChanged)
        m_listener.layoutChanged();
}
