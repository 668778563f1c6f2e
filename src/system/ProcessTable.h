#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// One running process as the applications controller sees it.
struct KVProcessInfo {
    pid_t pid = 0;
    // Full path of the executable; empty when the system would not tell (another user's process).
    std::string executable;
    // The executable's file name, or the process's own short name when the path is unknown.
    std::string imageName;
};

// The process list of the session. The controller reaches /proc only through this, so that tests can
// script which processes run.
class IKVProcessTable {
public:
    virtual ~IKVProcessTable() = default;

    // Every live user process; empty when the list cannot be read.
    virtual std::vector<KVProcessInfo> snapshot() const = 0;
    // One process, or nothing when it has ended or cannot be read.
    virtual std::optional<KVProcessInfo> process(pid_t pid) const = 0;
};
