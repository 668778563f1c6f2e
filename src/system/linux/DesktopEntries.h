#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the catalogue learns which applications are installed: the desktop entries of the session's
// data folders, their programs looked up along PATH.
struct KVApplicationSources {
    // "applications" folders, the one that wins first ($XDG_DATA_HOME, then each of $XDG_DATA_DIRS).
    std::vector<std::filesystem::path> applicationFolders;
    // The folders of PATH, in order.
    std::vector<std::filesystem::path> searchPath;

    static KVApplicationSources fromEnvironment();
};

// An installed application as its desktop entry announces it.
struct KVDesktopApplication {
    std::string name;
    // A theme icon name or an icon file path, as the entry gives it.
    std::string icon;
    // The program that Exec starts, found along PATH.
    std::filesystem::path program;
    // The desktop file id without ".desktop" ("org.kde.dolphin"), which Wayland app ids follow.
    std::string desktopId;
};

// The arguments of an Exec value (string escapes already undone): quoting undone, field codes such as
// %U dropped, "%%" made "%". Nothing when the quoting is broken.
std::optional<std::vector<std::string>> splitExecArguments(std::string_view exec);

// The program that an Exec value starts, past an "env VAR=value ..." prefix.
std::optional<std::string> execProgram(std::string_view exec);

// An absolute program path that is an executable file, or a bare name looked up along `searchPath`.
std::optional<std::filesystem::path> resolveProgram(const std::string& program,
                                                    const std::vector<std::filesystem::path>& searchPath);

// The application of one desktop entry file's text; nothing for an entry that is no application, is
// hidden, or whose program cannot be found.
std::optional<KVDesktopApplication> readDesktopEntry(std::string_view text,
                                                     const std::vector<std::filesystem::path>& searchPath);

// Every application of the sources; an entry shadows those of the same desktop id in later folders.
std::vector<KVDesktopApplication> scanDesktopApplications(const KVApplicationSources& sources);
