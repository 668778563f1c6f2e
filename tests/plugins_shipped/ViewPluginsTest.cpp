// The drawing plug-ins through their libraries (pictures, timer threads, teardown) and their pure
// parts (the countdown's states, the /proc readings) directly.
#include "FakeHost.h"
#include "SystemMonitor/ProcStats.h"
#include "Timer/Countdown.h"

#include <gtest/gtest.h>
#include <thread>

using namespace corvane_test;
using namespace std::chrono_literals;

namespace {

// The first picture of a started view with the given properties.
Picture firstPicture(const char* plugin, const char* id, std::map<std::string, std::string> properties) {
    PluginLibrary library(plugin);
    FakeView view;
    view.properties = std::move(properties);
    ObjectGuard object(library.createView(id, view));
    view.start(object.get());
    return view.lastPicture();
}

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

TEST(Clock, DrawsTheTimeInTheFormatGivenRedrawsOnItsOwnAndStopsWhenDestroyed) {
    Picture text = firstPicture("Clock", "Time", {{"Format", "Hi"}});
    EXPECT_TRUE(anyLit(text));
    EXPECT_EQ(firstPicture("Clock", "Time", {{"Format", "Hi"}}), text);
    // An empty format falls back to hours and minutes rather than a blank key.
    EXPECT_TRUE(anyLit(firstPicture("Clock", "Time", {{"Format", ""}})));

    PluginLibrary library("Clock");
    FakeView view;
    view.properties["Format"] = "%H:%M:%S"; // seconds: a new picture each second
    ObjectGuard object(library.createView("Time", view));
    EXPECT_EQ(view.pictureCount(), 0u) << "nothing is published before the start";
    view.start(object.get());
    ASSERT_TRUE(view.waitUntil([&] { return view.pictures.size() >= 3; }));
    EXPECT_NE(view.lastPicture(), text);
    object.reset();
    size_t published = view.pictureCount();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(view.pictureCount(), published);
}

TEST(SystemMonitor, MemoryDrawsAsBarOrGraph) {
    Picture bar = firstPicture("SystemMonitor", "Memory", {});
    Picture graph = firstPicture("SystemMonitor", "Memory", {{"Style", "graph"}});
    EXPECT_TRUE(anyLit(bar));
    EXPECT_NE(bar, graph);
}

TEST(ProcStats, ReadsCpuTimesAndMemoryUse) {
    auto before = corvane_plugins::parseCpuTimes("cpu  100 0 100 700 100 0 0 0 50 0\ncpu0 1 2 3 4\n");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->total, 1000u);
    EXPECT_EQ(before->busy, 200u); // waiting for I/O counts as idle, guest time is inside user time
    auto after = corvane_plugins::parseCpuTimes("cpu  400 0 100 800 100 0 0 0 0 0");
    EXPECT_DOUBLE_EQ(corvane_plugins::cpuLoad(*before, *after), 0.75);
    EXPECT_EQ(corvane_plugins::cpuLoad(*after, *before), 0) << "a counter that went back reads as idle";
    EXPECT_FALSE(corvane_plugins::parseCpuTimes("intr 1 2 3"));
    EXPECT_FALSE(corvane_plugins::parseCpuTimes("cpu 1 2"));

    auto used =
        corvane_plugins::parseMemoryUse("MemTotal:  1000 kB\nMemFree:  100 kB\nMemAvailable:  250 kB\n");
    EXPECT_DOUBLE_EQ(used.value_or(-1), 0.75);
    EXPECT_FALSE(corvane_plugins::parseMemoryUse("MemTotal:  1000 kB\nMemFree:  100 kB\n"));
    EXPECT_FALSE(corvane_plugins::parseMemoryUse("MemTotal: 0 kB\nMemAvailable: 0 kB\n"));
}

TEST(Countdown, StartsPausesFinishesAndStartsAgain) {
    using corvane_plugins::Countdown;
    Countdown countdown(90s);
    Countdown::Clock::time_point t{};
    EXPECT_EQ(countdown.secondsLeft(t), 90);
    countdown.toggle(t);
    EXPECT_TRUE(countdown.running(t + 1s));
    EXPECT_EQ(countdown.secondsLeft(t + 500ms), 90) << "rounded up: zero shows only at the end";
    EXPECT_EQ(countdown.untilChange(t + 500ms), 500ms);
    countdown.toggle(t + 30s); // pause with 60 s left
    EXPECT_EQ(countdown.secondsLeft(t + 100s), 60);
    EXPECT_FALSE(countdown.running(t + 100s));
    countdown.toggle(t + 100s);
    EXPECT_EQ(countdown.secondsLeft(t + 159s), 1);
    EXPECT_TRUE(countdown.flashing(t + 160s));
    EXPECT_EQ(countdown.secondsLeft(t + 160s), 0);
    EXPECT_NE(countdown.flashPhaseOn(t + 160s), countdown.flashPhaseOn(t + 160s + Countdown::flashPhase));
    EXPECT_FALSE(countdown.flashing(t + 160s + Countdown::flashLength));
    countdown.toggle(t + 200s); // after zero: the full length again
    EXPECT_TRUE(countdown.running(t + 201s));
    EXPECT_EQ(countdown.secondsLeft(t + 201s), 89);
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
    // Between the press and the flash the key counted down on a coloured background.
    bool ran = false;
    std::lock_guard lock(view.mutex);
    for (const Picture& picture : view.pictures)
        ran |= !black(picture[0]) && !red(picture[0]) && !white(picture[0]);
    EXPECT_TRUE(ran);
}

} // namespace
