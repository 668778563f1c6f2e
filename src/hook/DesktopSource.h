#pragma once

#include "hook/SystemHook.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A Wayland session's own report of the focused program and the keyboard layout, where X11 is not
// there to ask. Each compositor or desktop has its own way of telling; the session hook picks one.
class KVDesktopSource {
public:
    struct Listener {
        // The program behind the newly focused window.
        std::function<void(const KVWindowOwner&)> foregroundChanged;
        // The layouts or the layout in use changed.
        std::function<void()> layoutChanged;
    };

    virtual ~KVDesktopSource() = default;
    // What the log calls it.
    virtual const char* name() const = 0;
    // Reports the current foreground at once, then every change, until destroyed.
    virtual void start(Listener listener) = 0;
    // As IKVSystemHook::sessionLayouts; empty when this source does not know the layouts.
    virtual std::vector<std::string> layouts() const = 0;
    virtual uint8_t layoutGroup() const = 0;
};
