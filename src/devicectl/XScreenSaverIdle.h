#pragma once

#include "core/KVPtr.h"
#include "devicectl/IdleSource.h"

#include <string>

struct xcb_connection_t;

// The session's idle time from the X server's screen-saver extension (the time since the last input of
// any device, which the server keeps whether or not a screen saver runs).
class KVXScreenSaverIdle final : public IKVIdleSource {
public:
    // Connects to `display` (empty: $DISPLAY). Empty without an X server or without the extension.
    static KVPtr<KVXScreenSaverIdle> open(const std::string& display = {});
    ~KVXScreenSaverIdle() override;
    KVXScreenSaverIdle(const KVXScreenSaverIdle&) = delete;
    KVXScreenSaverIdle& operator=(const KVXScreenSaverIdle&) = delete;

    std::optional<std::chrono::milliseconds> IdleTime() override;

private:
    KVXScreenSaverIdle(xcb_connection_t* connection, unsigned root);

    xcb_connection_t* m_connection;
    unsigned m_root;
};
