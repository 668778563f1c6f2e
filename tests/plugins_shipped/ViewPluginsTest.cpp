// The drawing plug-ins through their libraries (timer threads, teardown) and the /proc readings directly.
#include "FakeHost.h"
#include "SystemMonitor/ProcStats.h"

#include <gtest/gtest.h>
#include <thread>

using namespace corvane_test;
using namespace std::chrono_literals;

namespace {

// Pango leaves GLib worker threads running; a library unloaded under them would crash the process.
TEST(DrawingPlugins, StayLoadedOnceLoaded) {
    for (const char* name : {"Clock", "Launcher", "SystemMonitor", "Timer"}) {
        EXPECT_TRUE(PluginLibrary(name).loaded());
        void* handle = dlopen(pluginFile(name, std::string(name) + ".so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_NE(handle, nullptr) << name;
        if (handle != nullptr)
            dlclose(handle);
    }
}

TEST(Clock, RedrawsOnItsOwnAndStopsWhenDestroyed) {
    PluginLibrary library("Clock");
    FakeView view;
    view.properties["Format"] = "%H:%M:%S"; // seconds: a new picture each second
    ObjectGuard object(library.createView("Time", view));
    view.start(object.get());
    const Picture first = view.lastPicture();
    ASSERT_TRUE(view.waitUntil([&] { return view.pictures.size() >= 3; }));
    EXPECT_NE(view.lastPicture(), first);
    object.reset();
    size_t published = view.pictureCount();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(view.pictureCount(), published);
}

TEST(ProcStats, ReadsCpuTimesAndMemoryUse) {
    auto before = corvane_plugins::parseCpuTimes("cpu  100 0 100 700 100 0 0 0 50 0\ncpu0 1 2 3 4\n");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->total, 1000u);
    EXPECT_EQ(before->busy, 200u); // waiting for I/O counts as idle, guest time is inside user time
    auto after = corvane_plugins::parseCpuTimes("cpu  400 0 100 800 100 0 0 0 0 0");
    EXPECT_DOUBLE_EQ(corvane_plugins::cpuLoad(*before, *after), 0.75);
    EXPECT_EQ(corvane_plugins::cpuLoad(*after, *before), 0) << "a counter that went back reads as idle";

    auto used =
        corvane_plugins::parseMemoryUse("MemTotal:  1000 kB\nMemFree:  100 kB\nMemAvailable:  250 kB\n");
    EXPECT_DOUBLE_EQ(used.value_or(-1), 0.75);
    EXPECT_FALSE(corvane_plugins::parseMemoryUse("MemTotal: 0 kB\nMemAvailable: 0 kB\n"));
}

TEST(Timer, KeyPressStartsItsOwnCountdownWhichFlashesAtZeroAndLeavesAnyOtherPairedObjectAlone) {
    PluginLibrary library("Timer");
    FakeView view;
    FakeAction action;
    view.properties["Seconds"] = "1";
    ObjectGuard countdown(library.createView("Countdown", view));
    ObjectGuard startStop(library.createAction("StartStop", action));
    ASSERT_TRUE(countdown && startStop);
    startStop->vtbl->Start(startStop.get()); // no view on the key: logged, nothing else
    static int foreignStarts = 0;
    static const IKVPluginObjectVtbl foreignTable{nullptr, nullptr, [](IKVPluginObject*) { ++foreignStarts; },
                                                  nullptr};
    IKVPluginObject foreign{&foreignTable};
    action.pairedView = &foreign;
    startStop->vtbl->Start(startStop.get());
    EXPECT_EQ(foreignStarts, 0);

    view.pairedAction = startStop.get();
    action.pairedView = countdown.get();
    view.start(countdown.get());
    EXPECT_TRUE(black(view.lastPicture()[0]));
    startStop->vtbl->Start(startStop.get());
    startStop->vtbl->Stop(startStop.get());
    ASSERT_TRUE(view.waitUntil([&] { return !view.pictures.empty() && red(view.pictures.back()[0]); }));
    ASSERT_TRUE(view.waitUntil([&] { return white(view.pictures.back()[0]); }));
}

} // namespace
