#include "devicectl/XScreenSaverIdle.h"

#include "core/Log.h"

#include <cstdlib>
#include <memory>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

KVPtr<KVXScreenSaverIdle> KVXScreenSaverIdle::open(const std::string& display) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        corvane::logger("devicectl")
            .info("idle time: no X server{}{}; the keyboard never counts as idle",
                  display.empty() ? "" : " at ", display);
        if (connection)
            xcb_disconnect(connection);
        return {};
    }
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_screensaver_id);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (!extension || !extension->present || screens.rem == 0) {
        corvane::logger("devicectl")
            .warn("idle time: the X server has no screen-saver extension; the keyboard never counts as idle");
        xcb_disconnect(connection);
        return {};
    }
    return KVPtr<KVXScreenSaverIdle>(new KVXScreenSaverIdle(connection, screens.data->root));
}

KVXScreenSaverIdle::KVXScreenSaverIdle(xcb_connection_t* connection, unsigned root)
    : m_connection(connection), m_root(root) {}

KVXScreenSaverIdle::~KVXScreenSaverIdle() {
    xcb_disconnect(m_connection);
}

std::optional<std::chrono::milliseconds> KVXScreenSaverIdle::IdleTime() {
    if (xcb_connection_has_error(m_connection))
        return std::nullopt;
    xcb_generic_error_t* error = nullptr;
    std::unique_ptr<xcb_screensaver_query_info_reply_t, decltype(&std::free)> reply(
        xcb_screensaver_query_info_reply(m_connection, xcb_screensaver_query_info(m_connection, m_root),
                                         &error),
        &std::free);
    if (error) {
        corvane::logger("devicectl")
            .warn("idle time: the X server refused the query (error {})", error->error_code);
        std::free(error);
    }
    if (!reply)
        return std::nullopt;
    return std::chrono::milliseconds(reply->ms_since_user_input);
}
