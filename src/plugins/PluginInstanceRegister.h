#pragma once

#include "core/KVPtr.h"

#include <chrono>
#include <map>
#include <mutex>

class KVKeyPluginInstance;

// The live instances of one kind. An instance in here stays alive even when its binding or condition
// drops it, until its plug-in lets go of it (`Release`), so a plug-in's own thread never calls into a
// destroyed context. Safe from any thread.
class KVPluginInstanceRegister {
public:
    KVPluginInstanceRegister() = default;
    KVPluginInstanceRegister(const KVPluginInstanceRegister&) = delete;
    KVPluginInstanceRegister& operator=(const KVPluginInstanceRegister&) = delete;

    void insert(KVPtr<KVKeyPluginInstance> instance);
    // Answers the reference it held (empty when none), for the caller to let go of where it is safe.
    KVPtr<KVKeyPluginInstance> remove(const KVKeyPluginInstance* instance);
    bool contains(const KVKeyPluginInstance* instance) const;
    std::size_t size() const;

    // Exit: waits until the plug-ins have let go of every instance, for at most `limit`, and answers
    // whether they did.
    bool waitUntilEmpty(std::chrono::milliseconds limit) const;
    // Lets go of the instances of plug-ins that crashed: they are never called again, so they will never
    // release anything.
    void dropFailed();
    // Drops every reference (after the exit wait).
    void clear();

private:
    mutable std::mutex m_mutex;
    std::map<const KVKeyPluginInstance*, KVPtr<KVKeyPluginInstance>> m_instances;
};
