#pragma once

#include <cstdint>
#include <optional>
#include <sys/types.h>

class CKVMessageDispatch;

// What the configurator learns from the desktop session, and the messages it delivers to the dispatch:
//   KVM_PROCESS_EVENT (2027)     wParam 1 when a process started, 0 when one ended; lParam its process id
//   KVM_WINDOW_ACTIVATED (2028)  wParam the window that became active
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
