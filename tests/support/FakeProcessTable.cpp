#include "support/FakeProcessTable.h"

#include <filesystem>

std::vector<KVProcessInfo> KVFakeProcessTable::snapshot() const {
    std::vector<KVProcessInfo> result;
    if (m_unreadable)
        return result;
    for (const auto& [pid, info] : m_processes)
        result.push_back(info);
    return result;
}

std::optional<KVProcessInfo> KVFakeProcessTable::process(pid_t pid) const {
    auto it = m_processes.find(pid);
    if (m_unreadable || it == m_processes.end())
        return std::nullopt;
    return it->second;
}

void KVFakeProcessTable::start(pid_t pid, const std::string& executable) {
    m_processes[pid] = {pid, executable, std::filesystem::path(executable).filename().string()};
}

void KVFakeProcessTable::startNamed(pid_t pid, const std::string& imageName) {
    m_processes[pid] = {pid, {}, imageName};
}

void KVFakeProcessTable::end(pid_t pid) {
    m_processes.erase(pid);
}
