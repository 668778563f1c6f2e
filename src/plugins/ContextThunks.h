#pragma once

#include "core/Log.h"
#include "plugins/FaultGuard.h"
#include "plugins/PluginInstance.h"

#include <exception>

// The C side of a context: plain functions that find the instance behind the interface pointer the
// plug-in passes back and call it. Nothing thrown here may reach the plug-in's C frames, so every entry
// catches. A handle is the interface (whose first member is the table pointer) followed by the owner.
namespace corvane::plugins {

template <class Interface, class Instance> struct ContextHandle {
    Interface interface;
    Instance* owner;
};

template <class F, class R> R noThrow(const char* operation, R failed, F&& body) noexcept {
    const KVUnguardedScope ours;
    try {
        return body();
    } catch (const std::exception& error) {
        corvane::logger("plugins").error("the context operation {} failed: {}", operation, error.what());
    } catch (...) {
        corvane::logger("plugins").error("the context operation {} failed", operation);
    }
    return failed;
}

template <class Interface, class Instance> struct ContextThunks {
    static Instance* owner(Interface* self) {
        return self ? reinterpret_cast<ContextHandle<Interface, Instance>*>(self)->owner : nullptr;
    }

    static void SetProperty(Interface* self, const char* key, const char* value) {
        noThrow("SetProperty", 0, [&] {
            if (auto* instance = owner(self))
                instance->setProperty(key, value);
            return 0;
        });
    }
    static int32_t GetProperty(Interface* self, const char* key, char* buffer) {
        return noThrow("GetProperty", int32_t{0}, [&] {
            auto* instance = owner(self);
            return instance && instance->getProperty(key, buffer) ? int32_t{1} : int32_t{0};
        });
    }
    static void GetItemPath(Interface* self, char* buffer) {
        noThrow("GetItemPath", 0, [&] {
            if (auto* instance = owner(self))
                instance->copyItemPath(buffer);
            return 0;
        });
    }
    static void GetItemName(Interface* self, char* buffer) {
        noThrow("GetItemName", 0, [&] {
            if (auto* instance = owner(self))
                instance->copyItemName(buffer);
            return 0;
        });
    }
    static void Release(Interface* self) {
        noThrow("Release", 0, [&] {
            if (auto* instance = owner(self))
                instance->release();
            return 0;
        });
    }
};

} // namespace corvane::plugins
