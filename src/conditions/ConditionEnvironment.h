#pragma once

#include <cstdint>
#include <string_view>

class IKVSystemHook;

// What conditions read from the running system. Each source is a narrow interface that the service
// owning that state implements (the application catalogue, the keyboard-layout catalogue, the keyboard
// device), so this library depends on none of them and tests use the fakes of tests/support/FakeSources.h.

// Implemented by the application catalogue. Identifiers are lower-case executable file names.
class IKVApplicationStateSource {
public:
    virtual ~IKVApplicationStateSource() = default;
    virtual bool IsRunning(std::string_view id) const = 0;
    virtual bool IsForeground(std::string_view id) const = 0;
    // The application's small picture in the global image list; -1 when it is not catalogued.
    virtual int ApplicationImageIndex(std::string_view id) = 0;
};

// Implemented by the keyboard-layout catalogue. A layout is a 32-bit handle: low word the language,
// high word the layout.
class IKVLayoutSource {
public:
    virtual ~IKVLayoutSource() = default;
    // The layout of the window with the keyboard focus, read from the system at each call.
    virtual uint32_t CurrentLayout() const = 0;
    // The layout that a language condition added by the user starts with.
    virtual uint32_t DefaultLayout() const = 0;
    // The layout's language picture in the global image list; -1 when none can be made.
    virtual int LayoutImageIndex(uint32_t layout) = 0;
};

// Implemented by the keyboard device.
class IKVKeyboardStateSource {
public:
    virtual ~IKVKeyboardStateSource() = default;
    virtual bool IsKeyboardOpen() const = 0;
    // The modifier keys held on the keyboard itself (bits 1, 2, 4, 8 only); 0 while it is absent.
    virtual uint32_t KeyboardModifierMask() const = 0;
};

// The sources a condition reads at each evaluation. Owned by whoever sets up the services (one for the
// process) and shared with every condition, so a source set after conditions were loaded is still seen.
// An absent source reads as nothing: no modifiers, no application, layout 0, keyboard closed.
struct KVConditionEnvironment {
    const IKVSystemHook* hook = nullptr;
    const IKVKeyboardStateSource* keyboard = nullptr;
    IKVApplicationStateSource* applications = nullptr;
    IKVLayoutSource* layouts = nullptr;

    // The modifier and lock state right now: what the session's hook reports OR what is held on the
    // keyboard itself, which the hook may not know as a modifier since any key can send any code.
    // Read fresh at every call; neither source is cached.
    uint32_t ModifierState() const;
};
