#include "system/linux/ProcProcessTable.h"

#include "core/Log.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace {

// Set in the flags field of /proc/<pid>/stat for kernel threads, which are no applications.
constexpr unsigned long kKernelThreadFlag = 0x00200000;
// readlink of /proc/<pid>/exe appends this when the file was replaced or removed after the start.
constexpr std::string_view kDeletedSuffix = " (deleted)";

struct StatRecord {
    std::string_view comm;
    char state = '?';
    unsigned long flags = 0;
};

// "pid (comm) state ppid pgrp session tty tpgid flags ...": comm may hold spaces and parentheses, so it
// runs to the last ')'.
std::optional<StatRecord> parseStat(std::string_view text) {
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    StatRecord record;
    record.comm = text.substr(open + 1, close - open - 1);
    std::string_view rest = text.substr(close + 1);
    std::array<std::string_view, 7> fields;
    for (auto& field : fields) {
        const auto begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(begin);
        field = rest.substr(0, rest.find(' '));
        rest.remove_prefix(field.size());
    }
    if (fields[0].size() != 1)
        return std::nullopt;
    record.state = fields[0][0];
    const auto& flags = fields[6];
    if (std::from_chars(flags.data(), flags.data() + flags.size(), record.flags).ec != std::errc())
        return std::nullopt;
    return record;
}

std::optional<pid_t> pidFromName(std::string_view name) {
    pid_t pid = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (ec != std::errc() || end != name.data() + name.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The short name of a process whose executable link cannot be read (another user's), unless the
// record shows a zombie or a kernel thread, which are no running applications.
std::optional<std::string> liveProcessName(int root, const std::string& pidName) {
    // The record is one line of a few hundred bytes; comm is at most 16 of them.
    std::array<char, 1024> buffer;
    FileDescriptor stat(::openat(root, (pidName + "/stat").c_str(), O_RDONLY | O_CLOEXEC));
    if (stat.get() < 0)
        return std::nullopt;
    const ssize_t length = ::read(stat.get(), buffer.data(), buffer.size());
    if (length <= 0)
        return std::nullopt;
    auto record = parseStat(std::string_view(buffer.data(), size_t(length)));
    if (!record) {
        corvane::logger("system").warn("unreadable record of process {}", pidName);
        return std::nullopt;
    }
    if (record->state == 'Z' || record->state == 'X' || record->state == 'x' ||
        (record->flags & kKernelThreadFlag))
        return std::nullopt;
    return std::string(record->comm);
}

// One process read below the /proc folder `root`. Most are named by their executable link alone; the
// link is missing (ENOENT) for kernel threads and for zombies, which have ended already.
std::optional<KVProcessInfo> readProcess(int root, pid_t pid) {
    const std::string pidName = std::to_string(pid);
    std::array<char, PATH_MAX> target;
    const ssize_t length = ::readlinkat(root, (pidName + "/exe").c_str(), target.data(), target.size());
    if (length > 0 && size_t(length) < target.size()) {
        std::string_view executable(target.data(), size_t(length));
        if (executable.ends_with(kDeletedSuffix))
            executable.remove_suffix(kDeletedSuffix.size());
        return KVProcessInfo{pid, std::string(executable),
                             std::string(executable.substr(executable.rfind('/') + 1))};
    }
    if (length >= 0 || errno == ENOENT)
        return std::nullopt;
    auto name = liveProcessName(root, pidName);
    if (!name)
        return std::nullopt;
    return KVProcessInfo{pid, {}, std::move(*name)};
}

} // namespace

KVProcProcessTable::KVProcProcessTable(std::filesystem::path root) : m_root(std::move(root)) {}

std::vector<KVProcessInfo> KVProcProcessTable::snapshot() const {
    std::vector<KVProcessInfo> result;
    std::unique_ptr<DIR, int (*)(DIR*)> root(::opendir(m_root.c_str()), &::closedir);
    if (!root) {
        corvane::logger("system").error("cannot list processes in {}: {}", m_root.string(),
                                        std::strerror(errno));
        return result;
    }
    // A process that ends while the list is read is simply left out.
    while (const dirent* entry = ::readdir(root.get()))
        if (auto pid = pidFromName(entry->d_name))
            if (auto info = readProcess(::dirfd(root.get()), *pid))
                result.push_back(std::move(*info));
    return result;
}

std::optional<KVProcessInfo> KVProcProcessTable::process(pid_t pid) const {
    if (pid <= 0)
        return std::nullopt;
    FileDescriptor root(::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0)
        return std::nullopt;
    return readProcess(root.get(), pid);
}
