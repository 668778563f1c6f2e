// The few keys of a desktop entry (.desktop file) that a launcher needs.
#pragma once

#include <fstream>
#include <optional>
#include <string>

namespace corvane_plugins {

struct DesktopEntry {
    std::string name;
    std::string exec;
    std::string icon;
};

inline std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Reads the "Desktop Entry" group; nothing when the file cannot be read or has no Exec line.
inline std::optional<DesktopEntry> readDesktopEntry(const std::string& path) {
    std::ifstream file(path);
    if (!file)
        return std::nullopt;
    DesktopEntry entry;
    bool inMainGroup = false;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        size_t equals = line.find('=');
        if (!inMainGroup || equals == std::string::npos)
            continue;
        std::string key = trimmed(line.substr(0, equals));
        std::string value = trimmed(line.substr(equals + 1));
        if (key == "Name")
            entry.name = value;
        else if (key == "Exec")
            entry.exec = value;
        else if (key == "Icon")
            entry.icon = value;
    }
    if (entry.exec.empty())
        return std::nullopt;
    return entry;
}

// The Exec value without its field codes (%f, %U, ...): a key press hands the program no files or
// addresses. "%%" stands for a percent sign.
inline std::string execCommandLine(const std::string& exec) {
    std::string command;
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '%' || i + 1 == exec.size()) {
            command += exec[i];
            continue;
        }
        char code = exec[++i];
        if (code == '%')
            command += '%';
    }
    return command;
}

} // namespace corvane_plugins
