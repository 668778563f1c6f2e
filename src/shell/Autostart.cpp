#include "shell/Autostart.h"

#include "core/Log.h"
#include "store/AtomicFile.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr size_t kEntryLimit = 64 * 1024;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// An entry is switched off by Hidden=true (the standard's "deleted") or X-GNOME-Autostart-enabled=false.
bool entrySwitchedOn(const std::string& path) {
    auto text = corvane::readFileBounded(path, kEntryLimit);
    if (!text)
        return false;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

constexpr const char* kEnabledEntry = "[Desktop Entry]\n"
                                      "Type=Application\n"
                                      "Name=Corvane Configurator\n"
                                      "Comment=Keeps the Corvane keyboard's key displays up to date\n"
                                      "Exec=corvane-configurator -minimized\n"
                                      "Icon=corvane-configurator\n"
                                      "Terminal=false\n"
                                      "NoDisplay=true\n";

constexpr const char* kDisabledEntry = "[Desktop Entry]\n"
                                       "Type=Application\n"
                                       "Name=Corvane Configurator\n"
                                       "Exec=corvane-configurator -minimized\n"
                                       "Hidden=true\n";

} // namespace

KVAutostart KVAutostart::fromEnvironment() {
    std::string user = environment("XDG_CONFIG_HOME");
    if (user.empty())
        user = environment("HOME") + "/.config";
    std::vector<std::string> system;
    std::istringstream dirs(environment("XDG_CONFIG_DIRS").empty() ? "/etc/xdg"
                                                                   : environment("XDG_CONFIG_DIRS"));
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty())
            system.push_back(dir + "/autostart");
    }
    return KVAutostart(user + "/autostart", std::move(system));
}

KVAutostart::KVAutostart(std::string userFolder, std::vector<std::string> systemFolders)
    : m_userFolder(std::move(userFolder)), m_systemFolders(std::move(systemFolders)) {}

std::string KVAutostart::userEntryPath() const {
    return m_userFolder + "/" + kEntryName;
}

std::string KVAutostart::systemEntryPath() const {
    std::error_code error;
    for (const auto& folder : m_systemFolders) {
        const std::string path = folder + "/" + kEntryName;
        if (fs::exists(path, error))
            return path;
    }
    return {};
}

bool KVAutostart::enabled() const {
    std::error_code error;
    if (fs::exists(userEntryPath(), error))
        return entrySwitchedOn(userEntryPath());
    const std::string system = systemEntryPath();
    return !system.empty() && entrySwitchedOn(system);
}

bool KVAutostart::setEnabled(bool enabled) {
    const std::string system = systemEntryPath();
    // Without an entry of its own the user gets the system's, if there is one: removing the user's entry
    // is all it takes when that gives the state asked for.
    const bool systemGivesIt = system.empty() ? !enabled : entrySwitchedOn(system) == enabled;
    if (systemGivesIt) {
        std::error_code error;
        fs::remove(userEntryPath(), error);
        if (!error)
            return true;
        corvane::logger("shell").error("cannot remove {}: {}", userEntryPath(), error.message());
        return false;
    }
    std::error_code error;
    fs::create_directories(m_userFolder, error);
    if (!corvane::writeFileAtomically(userEntryPath(), enabled ? kEnabledEntry : kDisabledEntry)) {
        corvane::logger("shell").error("cannot write the autostart entry {}", userEntryPath());
        return false;
    }
    return true;
}
