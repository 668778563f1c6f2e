#include "DeviceRig.h"
#include "store/PropertyNode.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

void tickWithIdle(DeviceRig& rig, std::chrono::milliseconds idle) {
    rig.idle->idle = idle;
    rig.controller->IdleTick();
    rig.settle();
}

} // namespace

TEST(DeviceController, LoadedSettingsReachTheKeyboardAtOnceAndSaveWhole) {
    DeviceRig rig;
    ASSERT_TRUE(rig.connect());
    EXPECT_EQ(rig.command(), "b070"); // the defaults, sleep delay first

    auto root = KVPropertyNode::create("root");
    auto device = root->addChild("Device");
    device->addChild("Brightness", "150");
    device->addChild("AutoBrightness", "true");
    device->addChild("SleepModeDelay", "20000");
    const unsigned writes = rig.commandWrites();
    rig.controller->loadSettings(root);
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 2);
    EXPECT_EQ(rig.command(), "b100A"); // clamped when sent, after "s9999"

    // Without a "Device" node nothing changes and nothing is sent.
    rig.controller->loadSettings(KVPropertyNode::create("root"));
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 2);

    auto saved = KVPropertyNode::create("root");
    rig.controller->saveSettings(*saved);
    const auto node = saved->findChild("Device");
    ASSERT_TRUE(node);
    EXPECT_EQ(node->childValue("Brightness"), "150");
    EXPECT_EQ(node->childValue("SleepModeDelay"), "20000");
}

TEST(DeviceController, DialogChangesAreSentOnceAndOnlyWhenTheyDiffer) {
    DeviceRig rig;
    ASSERT_TRUE(rig.connect());
    auto& controller = *rig.controller;
    EXPECT_EQ(controller.SleepSliderPosition(), 30); // 420 s lies between 5 and 30 min

    unsigned writes = rig.commandWrites();
    controller.OnBrightnessSlider(40);
    controller.OnBrightnessSlider(40);
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 1);
    EXPECT_EQ(rig.command(), "b040");

    controller.OnAutoBrightness(true);
    rig.settle();
    EXPECT_EQ(rig.command(), "b040A");

    EXPECT_EQ(controller.OnSleepSlider(50), "1 hr ");
    rig.settle();
    EXPECT_EQ(rig.command(), "s3600");
    writes = rig.commandWrites();
    EXPECT_EQ(controller.OnSleepSlider(50), "1 hr ");
    EXPECT_EQ(controller.OnSleepSlider(0), "Immediately");
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 1);
    EXPECT_EQ(rig.command(), "s0000");
    EXPECT_EQ(controller.Settings().sleepDelay, 0u);
}

TEST(DeviceController, IdleTickKeepsTheKeyboardsSleepTimerInStepWithTheSession) {
    DeviceRig rig;
    ASSERT_TRUE(rig.connect());
    auto& controller = *rig.controller;
    ASSERT_EQ(controller.Settings().sleepDelay, 420u);
    ASSERT_EQ(rig.command(), "b070");

    tickWithIdle(rig, 405s);
    EXPECT_EQ(rig.command(), "b070");
    tickWithIdle(rig, 406s); // the last 15 s before the keyboard would sleep
    EXPECT_EQ(rig.command(), "s0420");
    EXPECT_FALSE(controller.IsAsleep());

    controller.OnBrightnessSlider(50);
    tickWithIdle(rig, 421s);
    EXPECT_TRUE(controller.IsAsleep());
    tickWithIdle(rig, 300s);
    EXPECT_EQ(rig.command(), "b050");
    EXPECT_TRUE(controller.IsAsleep());

    tickWithIdle(rig, 14999ms); // input again: wake the keyboard's timer
    EXPECT_EQ(rig.command(), "s0420");
    EXPECT_FALSE(controller.IsAsleep());
    controller.OnBrightnessSlider(60);
    tickWithIdle(rig, 3s);
    EXPECT_EQ(rig.command(), "b060");

    // Delay 0: sent in every tick within the first second of idleness, asleep after it.
    controller.OnSleepSlider(0);
    controller.OnBrightnessSlider(61);
    tickWithIdle(rig, 999ms);
    EXPECT_EQ(rig.command(), "s0000");
    controller.OnBrightnessSlider(62);
    tickWithIdle(rig, 1s);
    EXPECT_EQ(rig.command(), "b062");
    EXPECT_TRUE(controller.IsAsleep());
    tickWithIdle(rig, 0ms);
    EXPECT_EQ(rig.command(), "s0000");

    // Without an idle time the keyboard never counts as idle.
    controller.OnBrightnessSlider(63);
    rig.idle->idle.reset();
    controller.IdleTick();
    rig.settle();
    EXPECT_EQ(rig.command(), "b063");
}

TEST(DeviceController, TheTickRunsEveryHundredMillisecondsOnTheLoop) {
    DeviceRig rig;
    ASSERT_TRUE(rig.connect());
    rig.idle->idle = 410s;
    EXPECT_TRUE(rig.runUntil([&] {
        rig.settle();
        return rig.command() == "s0420";
    }));
}
