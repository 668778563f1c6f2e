#pragma once

// A second client of a test's X server: it plays the window manager and the user's keyboard.

#include <cstdint>
#include <string>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

struct TestXClient {
    xcb_connection_t* conn;
    xcb_screen_t* screen;
    xcb_ewmh_connection_t ewmh;

    explicit TestXClient(const std::string& display);
    ~TestXClient();
    TestXClient(const TestXClient&) = delete;
    TestXClient& operator=(const TestXClient&) = delete;

    // A window owned, as _NET_WM_PID says, by `pid`.
    xcb_window_t createWindow(uint32_t pid);
    // What a window manager does when the user switches windows.
    void activate(xcb_window_t window);
    void lockModifiers(uint8_t mods, bool on);
    // A real key press or release through XTEST ("keydown", "keyup"), as the user's keyboard would send it.
    static bool typeKey(const std::string& display, const char* action, const char* key);
};
