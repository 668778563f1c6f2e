#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class CKVMessageDispatch;

// What the session tells about the program behind a window that became active.
struct KVWindowOwner {
    // Its process, when the session can tell it.
    std::optional<pid_t> pid;
    // Names the program goes by when no process is known, best first, lower case: a Wayland app id, or
    // the instance and class of an X window's WM_CLASS (a remote client, an X server that cannot say).
    std::vector<std::string> names;

    bool known() const { return pid || !names.empty(); }
};

// What the configurator learns from the desktop session, and the messages it delivers to the dispatch:
//   KVM_PROCESS_EVENT (2027)     wParam 1 when a process started, 0 when one ended; lParam its process id
//   KVM_WINDOW_ACTIVATED (2028)  wParam the window that became active: an X window, or on Wayland a
//                                handle the hook made up for the new foreground, read back by WindowOwner
//   KVM_HOOK_STATE_CHANGED (2031) whenever GetHookModifiersState() may answer differently
class IKVSystemHook {
public:
    virtual ~IKVSystemHook() = default;

    // From now on, events reach `dispatch` (on its loop thread) until UnHook().
    virtual void Hook(CKVMessageDispatch& dispatch) = 0;
    virtual void UnHook() = 0;

    // Modifier mask of the session right now: 1 Alt, 2 Ctrl, 4 Shift, 8 Windows key held;
    // 16 Caps Lock, 32 Kana, 64 Num Lock, 128 Scroll Lock on.
    virtual int32_t GetHookModifiersState() const = 0;

    // The process that owns a window reported by KVM_WINDOW_ACTIVATED, when it can be told.
    virtual std::optional<pid_t> WindowProcessId(unsigned long window) const = 0;

    // The program behind a window reported by KVM_WINDOW_ACTIVATED: its process, or failing that the
    // names it goes by.
    virtual KVWindowOwner WindowOwner(unsigned long window) const { return {WindowProcessId(window), {}}; }

    // The session's keyboard layouts in the order of its layout groups, when the session itself names
    // them (a Wayland compositor); empty when the X server or the system configuration must be asked.
    // Each entry is an XKB name ("de(nodeadkeys)") or, when only that is known, the layout's description.
    virtual std::vector<std::string> sessionLayouts() const { return {}; }

    // The window that is active now, as the last KVM_WINDOW_ACTIVATED named it: those who start listening
    // after the hook has begun learn the foreground from it.
    virtual std::optional<unsigned long> ActiveWindow() const { return std::nullopt; }

    // The keyboard-layout group in use on the session's core keyboard: an index into the session's
    // list of layouts; 0 when the session cannot tell. A change is announced as KVM_HOOK_STATE_CHANGED.
    virtual uint8_t layoutGroup() const = 0;
};

// Bits of the modifier mask.
enum KVModifierBit : uint32_t {
    KV_MOD_ALT = 1,
    KV_MOD_CTRL = 2,
    KV_MOD_SHIFT = 4,
    KV_MOD_WIN = 8,
    KV_LOCK_CAPS = 16,
    KV_LOCK_KANA = 32,
    KV_LOCK_NUM = 64,
    KV_LOCK_SCROLL = 128,
};
