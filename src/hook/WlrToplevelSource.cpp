#include "hook/WlrToplevelSource.h"

#include "core/Log.h"
#include "core/Strings.h"

#include <cerrno>
#include <cstring>
#include <wayland-client.h>
#include <wlr-foreign-toplevel-management-unstable-v1-client-protocol.h>

namespace {

// Version 3 only adds the parent event, which is not needed; asking for less than offered is fine.
constexpr uint32_t kManagerVersion = 3;

auto& log() {
    return corvane::logger("hook");
}

} // namespace

struct KVWlrToplevelSource::Callbacks {
    static KVWlrToplevelSource& self(void* data) { return *static_cast<KVWlrToplevelSource*>(data); }
    static Toplevel* toplevel(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto& toplevels = self(data).m_toplevels;
        auto it = toplevels.find(handle);
        return it == toplevels.end() ? nullptr : &it->second;
    }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version) {
        auto& source = self(data);
        if (source.m_manager || std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0)
            return;
        source.m_manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, kManagerVersion)));
        static const zwlr_foreign_toplevel_manager_v1_listener listener{&newToplevel, &finished};
        zwlr_foreign_toplevel_manager_v1_add_listener(source.m_manager, &listener, data);
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}

    static void newToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                            zwlr_foreign_toplevel_handle_v1* handle) {
        self(data).m_toplevels.emplace(handle, Toplevel{});
        static const zwlr_foreign_toplevel_handle_v1_listener listener{&title, &appId, &output, &output,
                                                                       &state, &done,  &closed, &parent};
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, data);
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        log().warn(
            "the compositor stopped reporting its windows: the foreground program is no longer followed");
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self(data).m_manager = nullptr;
    }

    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static void appId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* id) {
        if (Toplevel* window = toplevel(data, handle))
            window->pendingAppId = id ? id : "";
    }
    static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
        Toplevel* window = toplevel(data, handle);
        if (!window)
            return;
        bool activated = false;
        const auto* entry = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
            activated = activated || entry[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        window->pendingActivated = activated;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        Toplevel* window = toplevel(data, handle);
        if (!window)
            return;
        if (!window->pendingAppId.empty())
            window->appId = std::move(window->pendingAppId);
        window->pendingAppId.clear();
        if (window->pendingActivated)
            window->activated = *window->pendingActivated;
        window->pendingActivated.reset();
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        self(data).m_toplevels.erase(handle);
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
};

std::unique_ptr<KVWlrToplevelSource> KVWlrToplevelSource::connect(KVMainLoop& loop,
                                                                  const std::string& display) {
    wl_display* connection = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (!connection) {
        log().info("no Wayland display to ask for its windows: {}", std::strerror(errno));
        return nullptr;
    }
    std::unique_ptr<KVWlrToplevelSource> source(new KVWlrToplevelSource(loop, connection));
    source->m_registry = wl_display_get_registry(connection);
    static const wl_registry_listener listener{&Callbacks::global, &Callbacks::globalRemove};
    wl_registry_add_listener(source->m_registry, &listener, source.get());
    // The first round trip names the globals; the second brings the windows that are open.
    if (wl_display_roundtrip(connection) < 0 || !source->m_manager || wl_display_roundtrip(connection) < 0) {
        log().info("the Wayland compositor does not offer the foreign-toplevel protocol");
        return nullptr;
    }
    return source;
}

KVWlrToplevelSource::KVWlrToplevelSource(KVMainLoop& loop, wl_display* display)
    : m_loop(loop), m_display(display) {}

KVWlrToplevelSource::~KVWlrToplevelSource() {
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    for (const auto& [handle, window] : m_toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void KVWlrToplevelSource::start(Listener listener) {
    m_listener = std::move(listener);
    m_watch = m_loop.watchFd(wl_display_get_fd(m_display), KVMainLoop::Readable,
                             [this](unsigned) { readEvents(); });
    announce();
}

void KVWlrToplevelSource::readEvents() {
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        log().error("lost the Wayland display: the foreground program is no longer followed: {}",
                    std::strerror(wl_display_get_error(m_display)));
        m_loop.unwatchFd(*m_watch);
        m_watch.reset();
        return;
    }
    // Handles of closed windows are destroyed by request.
    wl_display_flush(m_display);
    announce();
}

void KVWlrToplevelSource::announce() {
    // When nothing is activated (a launcher or the desktop has the keyboard) the last program stays in
    // front, as with the other sources.
    for (const auto& [handle, window] : m_toplevels) {
        if (!window.activated || window.appId.empty() || window.appId == m_announced)
            continue;
        m_announced = window.appId;
        if (m_listener.foregroundChanged)
            m_listener.foregroundChanged({std::nullopt, {corvane::asciiLower(window.appId)}});
        return;
    }
}
