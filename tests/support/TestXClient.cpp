#include "support/TestXClient.h"

#define explicit explicit_ // xkb.h uses a C++ keyword as a member name
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>

TestXClient::TestXClient(const std::string& display) {
    conn = xcb_connect(display.c_str(), nullptr);
    screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(conn, &ewmh), nullptr);
    free(xcb_xkb_use_extension_reply(conn, xcb_xkb_use_extension(conn, 1, 0), nullptr));
}

TestXClient::~TestXClient() {
    xcb_ewmh_connection_wipe(&ewmh);
    xcb_disconnect(conn);
}

xcb_window_t TestXClient::createWindow(uint32_t pid) {
    const xcb_window_t window = xcb_generate_id(conn);
    xcb_create_window(conn, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_ewmh_set_wm_pid(&ewmh, window, pid);
    xcb_flush(conn);
    return window;
}

void TestXClient::activate(xcb_window_t window) {
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, screen->root, ewmh._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW,
                        32, 1, &window);
    xcb_flush(conn);
}

void TestXClient::lockModifiers(uint8_t mods, bool on) {
    xcb_xkb_latch_lock_state(conn, XCB_XKB_ID_USE_CORE_KBD, mods, on ? mods : 0, 0, 0, 0, 0, 0);
    xcb_flush(conn);
}

bool TestXClient::typeKey(const std::string& display, const char* action, const char* key) {
    const std::string command = "DISPLAY=" + display + " xdotool " + action + " " + key;
    return std::system(command.c_str()) == 0;
}
