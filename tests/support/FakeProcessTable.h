#pragma once

#include "system/ProcessTable.h"

#include <map>

// A process list that a test writes: processes run from start() until end().
class KVFakeProcessTable final : public IKVProcessTable {
public:
    std::vector<KVProcessInfo> snapshot() const override;
    std::optional<KVProcessInfo> process(pid_t pid) const override;

    // Runs `executable` as `pid`; the image name is its file name.
    void start(pid_t pid, const std::string& executable);
    // A process whose executable path is hidden, known only by its short name.
    void startNamed(pid_t pid, const std::string& imageName);
    void end(pid_t pid);
    // While unreadable, the table answers like a /proc that cannot be listed.
    void setUnreadable(bool unreadable) { m_unreadable = unreadable; }

private:
    std::map<pid_t, KVProcessInfo> m_processes;
    bool m_unreadable = false;
};
