#pragma once

#include "core/MainLoop.h"
#include "hook/DesktopSource.h"

#include <memory>
#include <optional>
#include <string>

struct sd_bus;
struct sd_bus_slot;
struct sd_bus_message;

// KDE Plasma and GNOME on Wayland: the compositor itself tells the configurator, over the session bus,
// which program has the focused window. The configurator owns net.tavirex.Corvane and serves
// WindowActivated(u pid, s class, s app id) and LayoutsChanged(as layouts, u current) on
// /net/tavirex/Corvane/Foreground.
//  - KDE: a KWin script, loaded through KWin's scripting interface at start and unloaded at the end,
//    calls WindowActivated; the layouts come from KDE's org.kde.keyboard service.
//  - GNOME: the shipped Shell extension calls both methods; the user enables it once.
class KVDesktopBusSource final : public KVDesktopSource {
public:
    enum class Desktop { Kde, Gnome };

    static constexpr const char* kServiceName = "net.tavirex.Corvane";
    static constexpr const char* kObjectPath = "/net/tavirex/Corvane/Foreground";
    static constexpr const char* kInterface = "net.tavirex.Corvane.Foreground";
    static constexpr const char* kGnomeExtension = "corvane-foreground@tavirex.net";

    // Connects to the session bus (`busAddress` when given) and finds KWin or GNOME Shell there;
    // nullptr when neither runs or the bus cannot be reached.
    static std::unique_ptr<KVDesktopBusSource> connect(KVMainLoop& loop, const std::string& busAddress = {});
    ~KVDesktopBusSource() override;

    const char* name() const override;
    void start(Listener listener) override;
    std::vector<std::string> layouts() const override { return m_layouts; }
    uint8_t layoutGroup() const override { return m_group; }
    Desktop desktop() const { return m_desktop; }

private:
    struct Callbacks;
    KVDesktopBusSource(KVMainLoop& loop, sd_bus* bus, Desktop desktop);

    bool loadKWinScript();
    void unloadKWinScript();
    void readKdeLayouts(bool announce);
    void setLayouts(std::vector<std::string> layouts, unsigned current, bool announce);
    void processBus();

    KVMainLoop& m_loop;
    sd_bus* m_bus;
    Desktop m_desktop;
    Listener m_listener;
    sd_bus_slot* m_object = nullptr;
    sd_bus_slot* m_layoutSignal = nullptr;
    sd_bus_slot* m_layoutListSignal = nullptr;
    std::optional<KVMainLoop::WatchId> m_watch;
    std::string m_scriptFile;
    bool m_scriptLoaded = false;
    std::vector<std::string> m_layouts;
    uint8_t m_group = 0;
};

namespace corvane {
// The text of the KWin script that reports the active window.
extern const char* const kKWinForegroundScript;
} // namespace corvane
