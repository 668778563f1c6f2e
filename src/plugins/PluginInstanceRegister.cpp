#include "plugins/PluginInstanceRegister.h"

#include "plugins/PluginInstance.h"

#include <thread>
#include <vector>

void KVPluginInstanceRegister::insert(KVPtr<KVKeyPluginInstance> instance) {
    if (!instance)
        return;
    std::lock_guard lock(m_mutex);
    const auto* key = instance.get();
    m_instances.emplace(key, std::move(instance));
}

KVPtr<KVKeyPluginInstance> KVPluginInstanceRegister::remove(const KVKeyPluginInstance* instance) {
    std::lock_guard lock(m_mutex);
    const auto it = m_instances.find(instance);
    if (it == m_instances.end())
        return nullptr;
    auto held = std::move(it->second);
    m_instances.erase(it);
    return held;
}

bool KVPluginInstanceRegister::contains(const KVKeyPluginInstance* instance) const {
    std::lock_guard lock(m_mutex);
    return m_instances.count(instance) != 0;
}

std::size_t KVPluginInstanceRegister::size() const {
    std::lock_guard lock(m_mutex);
    return m_instances.size();
}

bool KVPluginInstanceRegister::waitUntilEmpty(std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (size() != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void KVPluginInstanceRegister::dropFailed() {
    std::vector<KVPtr<KVKeyPluginInstance>> dropped;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_instances.begin(); it != m_instances.end();) {
            const auto& plugin = it->second->Plugin();
            if (plugin && plugin->hasFailed()) {
                dropped.push_back(std::move(it->second));
                it = m_instances.erase(it);
            } else {
                ++it;
            }
        }
    }
}

void KVPluginInstanceRegister::clear() {
    decltype(m_instances) instances;
    {
        std::lock_guard lock(m_mutex);
        instances.swap(m_instances);
    }
    // Instances go outside the lock: their destructors call into plug-ins, which may call Release.
}
