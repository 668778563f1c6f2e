#include "system/linux/DesktopEntries.h"

#include "core/Log.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDesktopGroup = "[Desktop Entry]";
// Entries are a few kilobytes; anything far larger is not a desktop entry.
constexpr std::uintmax_t kMaxEntrySize = 1 << 20;
constexpr std::string_view kFieldCodes = "fFuUdDnNickvm";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The escapes of a desktop entry string value: \s \n \t \r \\.
std::string unescapeValue(std::string_view value) {
    std::string result;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            result += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's':
            result += ' ';
            break;
        case 'n':
            result += '\n';
            break;
        case 't':
            result += '\t';
            break;
        case 'r':
            result += '\r';
            break;
        case '\\':
            result += '\\';
            break;
        default: // Exec's own quoting escapes pass through to the argument split
            result += '\\';
            result += value[i];
        }
    }
    return result;
}

bool isFieldCode(std::string_view token) {
    return token.size() == 2 && token[0] == '%' && kFieldCodes.find(token[1]) != std::string_view::npos;
}

// "%%" becomes "%"; a field code inside an argument is dropped.
std::string expandPercents(std::string_view token) {
    std::string result;
    for (size_t i = 0; i < token.size(); ++i) {
        if (token[i] == '%' && i + 1 < token.size()) {
            if (token[i + 1] == '%')
                result += '%';
            else if (kFieldCodes.find(token[i + 1]) == std::string_view::npos)
                result.append(token.substr(i, 2));
            ++i;
            continue;
        }
        result += token[i];
    }
    return result;
}

bool isAbsoluteFolder(const std::string& text) {
    return !text.empty() && text.front() == '/';
}

std::vector<fs::path> splitFolders(const char* value, std::string_view fallback) {
    std::string text = value && *value ? value : std::string(fallback);
    std::vector<fs::path> result;
    std::istringstream stream(text);
    std::string folder;
    // Relative entries are ignored: they would depend on the folder the program runs in.
    while (std::getline(stream, folder, ':'))
        if (isAbsoluteFolder(folder))
            result.emplace_back(folder);
    return result;
}

bool isExecutableFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> readSmallFile(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error || size > kMaxEntrySize) {
        corvane::logger("system").warn("skipping desktop entry {}: {}", path.string(),
                                       error ? error.message() : "too large");
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        corvane::logger("system").warn("cannot read desktop entry {}", path.string());
        return std::nullopt;
    }
    return text.str();
}

// The desktop entries of one folder and its subfolders by desktop id ("kde4/a.desktop" is "kde4-a.desktop").
std::map<std::string, fs::path> entriesOf(const fs::path& folder) {
    std::map<std::string, fs::path> result;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error)
        return result; // a data folder without applications is common
    for (auto end = fs::recursive_directory_iterator(); it != end; it.increment(error)) {
        if (error) {
            corvane::logger("system").warn("cannot list {}: {}", folder.string(), error.message());
            break;
        }
        if (it->path().extension() != ".desktop" || !it->is_regular_file(error))
            continue;
        std::string id = it->path().lexically_relative(folder).string();
        std::replace(id.begin(), id.end(), '/', '-');
        result.emplace(std::move(id), it->path());
    }
    return result;
}

} // namespace

KVApplicationSources KVApplicationSources::fromEnvironment() {
    KVApplicationSources sources;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && isAbsoluteFolder(dataHome))
        sources.applicationFolders.push_back(fs::path(dataHome) / "applications");
    else if (home && isAbsoluteFolder(home))
        sources.applicationFolders.push_back(fs::path(home) / ".local/share/applications");
    for (const auto& folder : splitFolders(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share"))
        sources.applicationFolders.push_back(folder / "applications");
    sources.searchPath = splitFolders(std::getenv("PATH"), "/usr/local/bin:/usr/bin:/bin");
    return sources;
}

std::optional<std::vector<std::string>> splitExecArguments(std::string_view exec) {
    std::vector<std::string> arguments;
    std::string current;
    bool inToken = false, quoted = false, tokenQuoted = false;
    auto finish = [&] {
        if (inToken && (tokenQuoted || !isFieldCode(current)))
            arguments.push_back(expandPercents(current));
        current.clear();
        inToken = tokenQuoted = false;
    };
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && i + 1 < exec.size() &&
                     std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos)
                current += exec[++i];
            else
                current += c;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            finish();
        } else if (c == '"') {
            quoted = inToken = tokenQuoted = true;
        } else {
            current += c;
            inToken = true;
        }
    }
    if (quoted)
        return std::nullopt;
    finish();
    return arguments;
}

std::optional<std::string> execProgram(std::string_view exec) {
    auto arguments = splitExecArguments(exec);
    if (!arguments || arguments->empty())
        return std::nullopt;
    auto it = arguments->begin();
    if (fs::path(*it).filename() == "env") {
        // env [-i] [-u NAME] [-C DIR] [--] [NAME=VALUE]... PROGRAM
        for (++it; it != arguments->end(); ++it) {
            if (*it == "--") {
                ++it;
                break;
            }
            if (*it == "-u" || *it == "-C" || *it == "--unset" || *it == "--chdir") {
                if (++it == arguments->end())
                    break;
                continue;
            }
            if (!it->starts_with('-') && it->find('=') == std::string::npos)
                break;
        }
        while (it != arguments->end() && it->find('=') != std::string::npos)
            ++it;
    }
    if (it == arguments->end() || it->empty())
        return std::nullopt;
    return *it;
}

std::optional<fs::path> resolveProgram(const std::string& program, const std::vector<fs::path>& searchPath) {
    if (program.empty())
        return std::nullopt;
    if (program.find('/') != std::string::npos) {
        // A relative path would depend on the folder the program runs in.
        if (program.front() != '/' || !isExecutableFile(program))
            return std::nullopt;
        return fs::path(program);
    }
    for (const auto& folder : searchPath)
        if (auto candidate = folder / program; isExecutableFile(candidate))
            return candidate;
    return std::nullopt;
}

std::optional<KVDesktopApplication> readDesktopEntry(std::string_view text,
                                                     const std::vector<fs::path>& searchPath) {
    std::map<std::string, std::string, std::less<>> keys;
    bool inGroup = false;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        const auto trimmed = trim(line);
        if (trimmed.empty() || trimmed.front() == '#')
            continue;
        if (trimmed.front() == '[') {
            inGroup = trimmed == kDesktopGroup;
            continue;
        }
        const auto equals = trimmed.find('=');
        if (!inGroup || equals == std::string_view::npos)
            continue;
        // Only the unlocalised keys are read; the first of a repeated key counts.
        keys.emplace(std::string(trim(trimmed.substr(0, equals))),
                     unescapeValue(trim(trimmed.substr(equals + 1))));
    }
    auto value = [&](std::string_view key) {
        auto it = keys.find(key);
        return it == keys.end() ? std::string() : it->second;
    };
    if (value("Type") != "Application" || value("Hidden") == "true")
        return std::nullopt;
    if (const auto tryExec = value("TryExec"); !tryExec.empty() && !resolveProgram(tryExec, searchPath))
        return std::nullopt;
    auto program = execProgram(value("Exec"));
    if (!program)
        return std::nullopt;
    auto resolved = resolveProgram(*program, searchPath);
    if (!resolved) {
        corvane::logger("system").debug("desktop entry {}: program {} not found", value("Name"), *program);
        return std::nullopt;
    }
    return KVDesktopApplication{value("Name"), value("Icon"), std::move(*resolved), {}};
}

std::vector<KVDesktopApplication> scanDesktopApplications(const KVApplicationSources& sources) {
    std::vector<KVDesktopApplication> result;
    std::set<std::string> seen;
    for (const auto& folder : sources.applicationFolders) {
        for (const auto& [id, path] : entriesOf(folder)) {
            // An earlier folder's entry, even a hidden one, overrides this one.
            if (!seen.insert(id).second)
                continue;
            if (auto text = readSmallFile(path))
                if (auto application = readDesktopEntry(*text, sources.searchPath)) {
                    application->desktopId = id.substr(0, id.size() - std::string_view(".desktop").size());
                    result.push_back(std::move(*application));
                }
        }
    }
    return result;
}
