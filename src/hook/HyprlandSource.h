#pragma once

#include "core/MainLoop.h"
#include "hook/DesktopSource.h"

#include <memory>
#include <optional>
#include <string>

// Hyprland's IPC: its event socket announces "activewindowv2>>ADDRESS" when the focus moves and
// "activelayout>>KEYBOARD,LAYOUT" when the layout changes; its request socket answers "j/activewindow"
// (the window's pid and class) and "j/devices" (the keyboards' layouts) as JSON.
class KVHyprlandSource final : public KVDesktopSource {
public:
    // The folder of the running instance's sockets: $XDG_RUNTIME_DIR/hypr/<signature>, or /tmp/hypr/...
    // where older versions put them; empty without $HYPRLAND_INSTANCE_SIGNATURE.
    static std::string instanceFolder();
    // nullptr when the event socket in `folder` cannot be reached.
    static std::unique_ptr<KVHyprlandSource> connect(KVMainLoop& loop, const std::string& folder);
    ~KVHyprlandSource() override;
    KVHyprlandSource(const KVHyprlandSource&) = delete;
    KVHyprlandSource& operator=(const KVHyprlandSource&) = delete;

    const char* name() const override { return "Hyprland IPC"; }
    void start(Listener listener) override;
    std::vector<std::string> layouts() const override { return m_layouts; }
    uint8_t layoutGroup() const override { return m_group; }

private:
    KVHyprlandSource(KVMainLoop& loop, std::string folder, int eventFd);
    std::string request(const std::string& command) const;
    void readEvents();
    void handle(const std::string& line);
    void readForeground();
    void readLayouts(const std::string& activeDescription, bool announce);

    KVMainLoop& m_loop;
    std::string m_folder;
    int m_events;
    Listener m_listener;
    std::optional<KVMainLoop::WatchId> m_watch;
    std::string m_buffer;
    std::vector<std::string> m_layouts;
    // What each layout is called in layout events ("English (US)"), in the order of m_layouts.
    std::vector<std::string> m_descriptions;
    uint8_t m_group = 0;
};

namespace corvane::hyprland {

// The program of a "j/activewindow" answer: its pid, else its class and initial class, lower case.
KVWindowOwner windowOwner(const std::string& activeWindowJson);

struct Keyboard {
    // XKB names, "de(nodeadkeys)".
    std::vector<std::string> layouts;
    // The description of the layout in use, as layout events name it.
    std::string activeKeymap;
    // The index of the layout in use, from versions that tell it.
    std::optional<unsigned> activeIndex;
};
// The main keyboard of a "j/devices" answer (else the first); nothing without keyboards.
std::optional<Keyboard> mainKeyboard(const std::string& devicesJson);

// What XKB calls each of `layouts` ("us" -> "English (US)"), as Hyprland reports the one in use.
std::vector<std::string> layoutDescriptions(const std::vector<std::string>& layouts);

} // namespace corvane::hyprland
