// The KDE and GNOME sources against their D-Bus interfaces on a private session bus: KWin's scripting
// interface and KDE's keyboard layouts are played by python-dbusmock, the KWin script and the GNOME
// extension by calls a test makes as they would.

#include "hook/DesktopBusSource.h"

#include "core/MessageDispatch.h"
#include "hook/SessionHook.h"
#include "support/ChildProcess.h"
#include "support/ManualLoop.h"
#include "support/MockSessionBus.h"
#include "support/ScopedEnvironment.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct DesktopBusTest : ::testing::Test {
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    std::vector<unsigned long> activated;
    int stateChanges = 0;
    MockSessionBus bus;
    ScopedEnvironment env;

    void SetUp() override {
        if (!haveMockTools())
            GTEST_SKIP() << "dbus-daemon, busctl or python3-dbusmock is not installed";
        if (bus.address.empty())
            GTEST_SKIP() << "no private session bus";
        dispatch.RegisterHandler<KVM_WINDOW_ACTIVATED>(this, &DesktopBusTest::onActivated);
        dispatch.RegisterHandler<KVM_HOOK_STATE_CHANGED>(this, &DesktopBusTest::onState);
        env.set("DBUS_SESSION_BUS_ADDRESS", bus.address);
        env.set("WAYLAND_DISPLAY", "wayland-test");
        env.unset("SWAYSOCK");
        env.unset("HYPRLAND_INSTANCE_SIGNATURE");
    }
    void onActivated(unsigned long window) { activated.push_back(window); }
    void onState() { ++stateChanges; }

    // What the KWin script or the GNOME extension sends when a window gets the focus.
    void reportWindow(uint32_t pid, const std::string& windowClass, const std::string& appId) {
        ASSERT_TRUE(bus.busctl(std::string("--timeout=5 call ") + KVDesktopBusSource::kServiceName + " " +
                               KVDesktopBusSource::kObjectPath + " " + KVDesktopBusSource::kInterface +
                               " WindowActivated uss " + std::to_string(pid) + " '" + windowClass + "' '" +
                               appId + "'"));
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
    // The mock keeps a copy of the script it is given, as KWin reads the file when it loads it.
    ASSERT_TRUE(bus.addMethod("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "loadScript", "ss", "i",
                              "self.script = open(args[0]).read(); ret = 3"));
    ASSERT_TRUE(bus.addMethod("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", "s",
                              "b", "ret = True"));
    ASSERT_TRUE(bus.addMethod("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "start", "", "", ""));
    ASSERT_TRUE(bus.addMethod("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "script", "", "s",
                              "ret = self.script"));
    ASSERT_TRUE(bus.addMethod("org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts", "getLayoutsList", "",
                              "a(sss)",
                              "ret = [('us', '', 'English (US)'), ('de', 'nodeadkeys', 'German')]"));
    ASSERT_TRUE(bus.addMethod("org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts", "getLayout", "", "u",
                              "ret = dbus.UInt32(0)"));

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

    ASSERT_TRUE(bus.addMethod("org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts", "getLayout", "", "u",
                              "ret = dbus.UInt32(1)"));
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

    whileServing([&] {
        ASSERT_TRUE(bus.busctl(std::string("--timeout=5 call ") + KVDesktopBusSource::kServiceName + " " +
                               KVDesktopBusSource::kObjectPath + " " + KVDesktopBusSource::kInterface +
                               " LayoutsChanged asu 2 us 'de(nodeadkeys)' 1"));
    });
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
    std::ifstream metadata(data + "/gnome-shell/corvane-foreground@tavirex.net/metadata.json");
    std::stringstream text;
    text << metadata.rdbuf();
    EXPECT_NE(text.str().find("\"uuid\": \"corvane-foreground@tavirex.net\""), std::string::npos);
    // The compiled-in copy is the shipped file.
    std::ifstream script(data + "/kwin/corvane-foreground.js");
    std::stringstream scriptText;
    scriptText << script.rdbuf();
    EXPECT_EQ(scriptText.str(), corvane::kKWinForegroundScript);
}

} // namespace
