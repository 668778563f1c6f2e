#pragma once

#include "system/ProcessTable.h"

#include <filesystem>

// The process list read from procfs. `root` is "/proc" except in tests, which hand it a folder laid
// out the same way.
class KVProcProcessTable final : public IKVProcessTable {
public:
    explicit KVProcProcessTable(std::filesystem::path root = "/proc");

    std::vector<KVProcessInfo> snapshot() const override;
    std::optional<KVProcessInfo> process(pid_t pid) const override;

private:
    std::filesystem::path m_root;
};
