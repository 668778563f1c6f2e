#include "hook/SessionHook.h"
#include "support/ManualLoop.h"
#include "support/ScopedEnvironment.h"
#include "support/Xvfb.h"
#include "system/KeyboardLayouts.h"
#include "system/linux/SessionLayouts.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <ostream>
#include <xcb/xcb.h>

void PrintTo(const KVXkbLayoutName& name, std::ostream* out) {
    *out << name.text();
}

namespace {

// A client of the test's X server that sets the root window's _XKB_RULES_NAMES as the server does when
// it loads a keymap by rules names (Xvfb keeps its start-up value, whatever setxkbmap loads). It stays
// connected: Xvfb resets, losing the property, when its last client goes.
class RulesNamesSetter {
public:
    explicit RulesNamesSetter(const std::string& display)
        : m_connection(xcb_connect(display.c_str(), nullptr)) {}
    ~RulesNamesSetter() { xcb_disconnect(m_connection); }

    bool set(std::string_view value) {
        auto* atom = xcb_intern_atom_reply(m_connection,
                                           xcb_intern_atom(m_connection, 0, 16, "_XKB_RULES_NAMES"), nullptr);
        if (!atom)
            return false;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(value.size()), value.data());
        std::free(atom);
        // A round trip, so the change is made before the test reads it.
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        return true;
    }

private:
    xcb_connection_t* m_connection;
};

} // namespace

// The layouts of a real X server, in its order, and the group in use from the session hook.
TEST(SessionLayoutsX, RulesNamesOfTheServerAndItsLayoutGroup) {
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    ScopedEnvironment env;
    env.set("DISPLAY", server.display());
    env.unset("CORVANE_XKB_LAYOUTS");
    RulesNamesSetter rules(server.display());
    ASSERT_TRUE(rules.set(std::string_view("evdev\0pc105\0us,de,ru\0,nodeadkeys,\0\0", 35)));

    KVManualLoop loop;
    KVSessionHook hook(loop);
    KVSessionLayouts session(&hook, "/nonexistent");
    EXPECT_EQ(session.installedLayouts(),
              (std::vector<KVXkbLayoutName>{{"us", ""}, {"de", "nodeadkeys"}, {"ru", ""}}));
    KVKeyboardLayouts catalogue(session, nullptr);
    EXPECT_EQ(catalogue.CurrentLayout(), 0x04090409u);

    // A change of the server's layouts is seen at the next call.
    ASSERT_TRUE(rules.set(std::string_view("evdev\0pc105\0fr\0\0grp:alt_shift_toggle", 36)));
    EXPECT_EQ(session.installedLayouts(), (std::vector<KVXkbLayoutName>{{"fr", ""}}));
    EXPECT_EQ(catalogue.CurrentLayout(), 0x040C040Cu);
}
