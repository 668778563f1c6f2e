#pragma once

#include <string>
#include <vector>

// "Start with the session": the user's own XDG autostart entry. The package may install a system-wide
// entry; the user's entry of the same name overrides it, so turning the option off writes an entry
// with Hidden=true rather than touching the system's file.
class KVAutostart {
public:
    static constexpr const char* kEntryName = "corvane-configurator.desktop";

    // From XDG_CONFIG_HOME (else ~/.config) and XDG_CONFIG_DIRS (else /etc/xdg).
    static KVAutostart fromEnvironment();
    KVAutostart(std::string userFolder, std::vector<std::string> systemFolders);

    bool enabled() const;
    // False when the user's entry could not be written or removed; the old state then stays.
    bool setEnabled(bool enabled);

    std::string userEntryPath() const;

private:
    // The first system-wide entry, empty when there is none.
    std::string systemEntryPath() const;

    std::string m_userFolder;
    std::vector<std::string> m_systemFolders;
};
