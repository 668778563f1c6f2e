#include "system/linux/ProcProcessTable.h"

#include <charconv>
#include <fstream>
#include <spdlog/spdlog.h>
#include <sstream>
#include <string_view>

namespace {

// Set in the flags field of /proc/<pid>/stat for kernel threads, which are no applications.
constexpr unsigned long kKernelThreadFlag = 0x00200000;
// readlink of /proc/<pid>/exe appends this when the file was replaced or removed after the start.
constexpr std::string_view kDeletedSuffix = " (deleted)";

struct StatRecord {
    std::string comm;
    char state = '?';
    unsigned long flags = 0;
};

// "pid (comm) state ppid pgrp session tty tpgid flags ...": comm may hold spaces and parentheses, so it
// runs to the last ')'.
std::optional<StatRecord> parseStat(const std::string& text) {
    auto open = text.find('(');
    auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    StatRecord record;
    record.comm = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    std::string field;
    std::vector<std::string> fields;
    while (fields.size() < 7 && rest >> field)
        fields.push_back(field);
    if (fields.size() < 7 || fields[0].size() != 1)
        return std::nullopt;
    record.state = fields[0][0];
    const std::string& flags = fields[6];
    if (std::from_chars(flags.data(), flags.data() + flags.size(), record.flags).ec != std::errc())
        return std::nullopt;
    return record;
}

std::optional<pid_t> pidFromName(const std::string& name) {
    pid_t pid = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (ec != std::errc() || end != name.data() + name.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

} // namespace

KVProcProcessTable::KVProcProcessTable(std::filesystem::path root) : m_root(std::move(root)) {}

std::vector<KVProcessInfo> KVProcProcessTable::snapshot() const {
    std::vector<KVProcessInfo> result;
    std::error_code error;
    std::filesystem::directory_iterator it(m_root, error);
    if (error) {
        spdlog::error("cannot list processes in {}: {}", m_root.string(), error.message());
        return result;
    }
    for (const auto& entry : it) {
        // A process that ends while the list is read is simply left out.
        if (auto pid = pidFromName(entry.path().filename().string()))
            if (auto info = process(*pid))
                result.push_back(std::move(*info));
    }
    return result;
}

std::optional<KVProcessInfo> KVProcProcessTable::process(pid_t pid) const {
    if (pid <= 0)
        return std::nullopt;
    const auto folder = m_root / std::to_string(pid);
    std::ifstream statFile(folder / "stat");
    std::string statText;
    if (!statFile || !std::getline(statFile, statText))
        return std::nullopt;
    auto stat = parseStat(statText);
    if (!stat) {
        spdlog::warn("unreadable process record {}", (folder / "stat").string());
        return std::nullopt;
    }
    // A zombie has ended already; only its exit status waits for its parent.
    if (stat->state == 'Z' || stat->state == 'X' || stat->state == 'x' || (stat->flags & kKernelThreadFlag))
        return std::nullopt;

    KVProcessInfo info{pid, {}, stat->comm};
    std::error_code error;
    std::string executable = std::filesystem::read_symlink(folder / "exe", error).string();
    if (!error && !executable.empty()) {
        if (executable.ends_with(kDeletedSuffix))
            executable.resize(executable.size() - kDeletedSuffix.size());
        info.imageName = std::filesystem::path(executable).filename().string();
        info.executable = std::move(executable);
    }
    return info;
}
