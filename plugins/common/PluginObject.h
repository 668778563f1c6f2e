// The C++ side of a plug-in object: a C table whose thunks reach a C++ object, so each plug-in writes
// ordinary classes. Header-only and built on the SDK header alone, like everything under plugins/.
#pragma once

#include <corvane/plugin.h>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <string>

namespace corvane_plugins {

// Plug-ins have no logger of their own; the configurator's stderr goes to the journal.
[[gnu::format(printf, 2, 3)]] inline void logError(const char* plugin, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fprintf(stderr, "[plugin %s] ", plugin);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

// Reads one property into a string; `fallback` when it is not stored. Only valid inside a call the
// configurator made into the plug-in.
template <class Context> std::string property(Context* context, const char* key, const char* fallback = "") {
    char buffer[CORVANE_PLUGIN_BUFFER_SIZE];
    if (context->vtbl->GetProperty(context, key, buffer) == 1)
        return buffer;
    return fallback;
}

template <class Context> void setProperty(Context* context, const char* key, const std::string& value) {
    context->vtbl->SetProperty(context, key, value.c_str());
}

// Base of every object a factory returns. The configurator holds only the embedded C handle; the C
// thunks find the C++ object through it and keep exceptions from crossing the C boundary.
class PluginObject {
public:
    PluginObject() = default;
    PluginObject(const PluginObject&) = delete;
    PluginObject& operator=(const PluginObject&) = delete;
    virtual ~PluginObject() = default;

    IKVPluginObject* handle() { return &handle_.object; }

    // The C++ object behind a handle this library gave out, or null when it is of another class.
    template <class T> static T* from(IKVPluginObject* object) {
        if (object == nullptr || object->vtbl != &objectTable)
            return nullptr;
        return dynamic_cast<T*>(reinterpret_cast<Handle*>(object)->owner);
    }

protected:
    virtual void start() {}
    virtual void stop() {}
    // Ends the object's own threads while every member is still alive; runs before the destructor.
    virtual void halt() {}
    // Objects that take dropped files override this and report `acceptsFiles` true.
    virtual bool dropFile(const char* /*path*/) { return false; }
    virtual bool acceptsFiles() const { return false; }
    virtual const char* pluginName() const = 0;

private:
    // Standard-layout wrappers, so the C pointer converts back to the wrapper (first member).
    struct Handle {
        IKVPluginObject object;
        PluginObject* owner;
    };
    struct PanelHandle {
        IKVPluginPanel panel;
        PluginObject* owner;
    };

    template <class F> static void guarded(PluginObject* self, const char* what, F&& f) {
        try {
            f();
        } catch (const std::exception& e) {
            logError(self->pluginName(), "%s failed: %s", what, e.what());
        } catch (...) {
            logError(self->pluginName(), "%s failed", what);
        }
    }
    static PluginObject* owner(IKVPluginObject* o) { return reinterpret_cast<Handle*>(o)->owner; }
    static PluginObject* owner(IKVPluginPanel* p) { return reinterpret_cast<PanelHandle*>(p)->owner; }

    static IKVPluginPanel* getPanel(IKVPluginObject* o) {
        PluginObject* self = owner(o);
        return self->acceptsFiles() ? &self->panel_.panel : nullptr;
    }
    static void destroy(IKVPluginObject* o) {
        PluginObject* self = owner(o);
        guarded(self, "Destroy", [&] { self->halt(); });
        delete self;
    }
    static void startThunk(IKVPluginObject* o) {
        guarded(owner(o), "Start", [&] { owner(o)->start(); });
    }
    static void stopThunk(IKVPluginObject* o) {
        guarded(owner(o), "Stop", [&] { owner(o)->stop(); });
    }

    // No widget: these plug-ins are set through their properties. The panel exists for dropped files.
    static void* createPanel(IKVPluginPanel*, void*) { return nullptr; }
    static void destroyPanel(IKVPluginPanel*) {}
    static int32_t dropFileThunk(IKVPluginPanel* p, const char* path) {
        bool accepted = false;
        guarded(owner(p), "DropFile", [&] { accepted = path != nullptr && owner(p)->dropFile(path); });
        return accepted ? 1 : 0;
    }

    static constexpr IKVPluginObjectVtbl objectTable{getPanel, destroy, startThunk, stopThunk};
    static constexpr IKVPluginPanelVtbl panelTable{createPanel, destroyPanel, dropFileThunk};

    Handle handle_{{&objectTable}, this};
    PanelHandle panel_{{&panelTable}, this};
};

// The body of a factory: a new object for the context, or null (logged) when making it fails.
template <class T, class Context> IKVPluginObject* makeObject(const char* plugin, Context* context) {
    if (context == nullptr)
        return nullptr;
    try {
        return (new T(context))->handle();
    } catch (const std::exception& e) {
        logError(plugin, "cannot create an object: %s", e.what());
        return nullptr;
    }
}

} // namespace corvane_plugins
