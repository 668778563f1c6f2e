#pragma once

#include <string>

// Opens a file with a program the user chooses, as the desktop offers it.
class IKVOpenWith {
public:
    virtual ~IKVOpenWith() = default;
    // Asks to open `path`; true once the request was handed over (the user may still cancel).
    virtual bool open(const std::string& path) = 0;
};

// The XDG desktop portal's OpenFile with "ask" set, which shows the desktop's "open with" chooser;
// without a portal, `fallback` (xdg-open) is started with the path, detached.
class KVDesktopOpenWith final : public IKVOpenWith {
public:
    // `busAddress` empty: the session bus.
    explicit KVDesktopOpenWith(std::string busAddress = {}, std::string fallback = "xdg-open");
    bool open(const std::string& path) override;

private:
    bool askPortal(const std::string& path);
    bool startFallback(const std::string& path);

    std::string m_busAddress;
    std::string m_fallback;
};
