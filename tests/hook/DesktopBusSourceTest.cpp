// The KDE and GNOME sources against their D-Bus interfaces on a private session bus: KWin's scripting
// interface and KDE's keyboard layouts are played by python-dbusmock, the KWin script and the GNOME
// extension by calls a test makes as they would.

#include "hook/DesktopBusSource.h"

#include "hook/HookEvents.h"
#include "support/MockSessionBus.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <thread>

namespace {

struct DesktopBusTest : HookEventsTest {
    MockSessionBus bus;
    ScopedEnvironment env;

    void SetUp() override {
        if (!haveMockTools())
            GTEST_SKIP() << "dbus-daemon, busctl or python3-dbusmock is not installed";
        if (bus.address.empty())
            GTEST_SKIP() << "no private session bus";
        HookEventsTest::SetUp();
        env.set("DBUS_SESSION_BUS_ADDRESS", bus.address);
        env.set("WAYLAND_DISPLAY", "wayland-test");
        env.unset("SWAYSOCK");
        env.unset("HYPRLAND_INSTANCE_SIGNATURE");
    }
    // What the KWin script or the GNOME extension calls on the hook.
    void callHook(const std::string& methodAndArguments) {
        ASSERT_TRUE(bus.busctl(std::string("--timeout=5 call ") + KVDesktopBusSource::kServiceName + " " +
                               KVDesktopBusSource::kObjectPath + " " + KVDesktopBusSource::kInterface + " " +
                               methodAndArguments));
    }
    void reportWindow(uint32_t pid, const std::string& windowClass, const std::string& appId) {
        callHook("WindowActivated uss " + std::to_string(pid) + " '" + windowClass + "' '" + appId + "'");
    }
    // busctl blocks until the hook has answered, so the loop runs while it waits.
    template <class F> void whileServing(F call) {
        std::thread caller(call);
        loop.runUntil([] { return false; }, 300ms);
        caller.join();
        loop.runUntil([] { return false; }, 50ms);
    }
};

TEST_F(DesktopBusTest, KdeLoadsTheKWinScriptAndFollowsItsReportsAndTheLayouts) {
    auto kwin = bus.mock("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting");
    auto keyboard = bus.mock("org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts");
    ASSERT_TRUE(kwin && keyboard) << "dbusmock did not come up";
    auto scripting = [&](const char* method, const char* in, const char* out, const char* code) {
        return bus.addMethod("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", method, in, out, code);
    };
    auto layouts = [&](const char* method, const char* out, const char* code) {
        return bus.addMethod("org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts", method, "", out,
                             code);
    };
    // The mock keeps a copy of the script it is given, as KWin reads the file when it loads it.
    ASSERT_TRUE(scripting("loadScript", "ss", "i", "self.script = open(args[0]).read(); ret = 3") &&
                scripting("unloadScript", "s", "b", "ret = True") && scripting("start", "", "", "") &&
                scripting("script", "", "s", "ret = self.script"));
    ASSERT_TRUE(layouts("getLayoutsList", "a(sss)",
                        "ret = [('us', '', 'English (US)'), ('de', 'nodeadkeys', 'German')]") &&
                layouts("getLayout", "u", "ret = dbus.UInt32(0)"));

    KVSessionHook hook(loop);
    hook.Hook(dispatch);
    ASSERT_EQ(hook.foregroundSource(), "KWin script and KDE keyboard layouts");
    EXPECT_EQ(hook.sessionLayouts(), (std::vector<std::string>{"us", "de(nodeadkeys)"}));
    auto given = bus.busctl("call org.kde.KWin /Scripting org.kde.kwin.Scripting script");
    ASSERT_TRUE(given);
    EXPECT_NE(given->find("windowActivated"), std::string::npos)
        << "KWin was not given the script: " << *given;

    whileServing([&] { reportWindow(4242, "org.kde.dolphin", "org.kde.dolphin"); });
    ASSERT_EQ(activated.size(), 1u);
    EXPECT_EQ(hook.WindowOwner(activated[0]).pid, 4242);
    whileServing([&] { reportWindow(0, "Remote", ""); });
    ASSERT_EQ(activated.size(), 2u);
    EXPECT_EQ(hook.WindowOwner(activated[1]).names, std::vector<std::string>{"remote"});
    EXPECT_EQ(hook.WindowOwner(activated[0]).pid, 4242) << "a late reader still finds the earlier window";

    ASSERT_TRUE(layouts("getLayout", "u", "ret = dbus.UInt32(1)"));
    ASSERT_TRUE(bus.busctl("call org.kde.keyboard /Layouts org.freedesktop.DBus.Mock EmitSignal sssav "
                           "org.kde.KeyboardLayouts layoutChanged u 1 u 1"));
    EXPECT_TRUE(loop.runUntil([&] { return hook.layoutGroup() == 1; }, 5s));
    EXPECT_GE(stateChanges, 1);

    hook.UnHook();
    auto calls =
        bus.busctl("call org.kde.KWin /Scripting org.freedesktop.DBus.Mock GetMethodCalls s unloadScript");
    ASSERT_TRUE(calls);
    EXPECT_NE(calls->find("a(tav) 2"), std::string::npos) << "the script is unloaded at the end: " << *calls;
}

TEST_F(DesktopBusTest, GnomeFollowsTheExtensionsReports) {
    auto shell = bus.mock("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell");
    ASSERT_TRUE(shell) << "dbusmock did not come up";
    KVSessionHook hook(loop);
    hook.Hook(dispatch);
    ASSERT_EQ(hook.foregroundSource(), "the GNOME Shell extension");

    whileServing([&] { reportWindow(0, "Gnome-calculator", "org.gnome.Calculator"); });
    ASSERT_EQ(activated.size(), 1u);
    EXPECT_EQ(hook.WindowOwner(activated[0]).names,
              (std::vector<std::string>{"org.gnome.calculator", "gnome-calculator"}));
    whileServing([&] { reportWindow(0, "Gnome-calculator", "org.gnome.Calculator"); });
    EXPECT_EQ(activated.size(), 1u) << "the same program again is no change";

    whileServing([&] { callHook("LayoutsChanged asu 2 us 'de(nodeadkeys)' 1"); });
    EXPECT_EQ(hook.sessionLayouts(), (std::vector<std::string>{"us", "de(nodeadkeys)"}));
    EXPECT_EQ(hook.layoutGroup(), 1);
    EXPECT_EQ(stateChanges, 1);
}

TEST(DesktopScripts, TheKWinScriptAndTheGnomeExtensionParse) {
    if (std::system("command -v node >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "node is not installed to check JavaScript syntax";
    const std::string data = std::string(CORVANE_TEST_DATA) + "/../../data";
    EXPECT_EQ(std::system(("node --check " + data + "/kwin/corvane-foreground.js").c_str()), 0);
    EXPECT_EQ(
        std::system(
            ("node --check '" + data + "/gnome-shell/corvane-foreground@tavirex.net/extension.js'").c_str()),
        0);
    EXPECT_NE(readWholeFile(data + "/gnome-shell/corvane-foreground@tavirex.net/metadata.json")
                  .find("\"uuid\": \"corvane-foreground@tavirex.net\""),
              std::string::npos);
    // The compiled-in copy is the shipped file.
    EXPECT_EQ(readWholeFile(data + "/kwin/corvane-foreground.js"), corvane::kKWinForegroundScript);
}

} // namespace
