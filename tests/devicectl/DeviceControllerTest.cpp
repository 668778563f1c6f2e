#include "DeviceRig.h"
#include "store/PropertyNode.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(DeviceController, LoadedAndDialogSettingsReachTheKeyboardOnceAndSaveWhole) {
    DeviceRig rig;
    ASSERT_TRUE(rig.connect());
    auto& controller = *rig.controller;
    EXPECT_EQ(rig.command(), "b070");                // the defaults, sleep delay first
    EXPECT_EQ(controller.SleepSliderPosition(), 30); // 420 s lies between 5 and 30 min

    auto root = KVPropertyNode::create("root");
    auto device = root->addChild("Device");
    device->addChild("Brightness", "150");
    device->addChild("AutoBrightness", "true");
    device->addChild("SleepModeDelay", "20000");
    const unsigned writes = rig.commandWrites();
    controller.loadSettings(root);
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 2);
    EXPECT_EQ(rig.command(), "b100A"); // clamped when sent, after "s9999"
    // Without a "Device" node nothing changes and nothing is sent.
    controller.loadSettings(KVPropertyNode::create("root"));
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 2);

    // The dialog's changes are sent once, and only when they differ.
    controller.OnBrightnessSlider(40);
    controller.OnBrightnessSlider(40);
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 3);
    EXPECT_EQ(rig.command(), "b040A");
    controller.OnAutoBrightness(false);
    rig.settle();
    EXPECT_EQ(rig.command(), "b040");
    // Between two marks of the slider the seconds are interpolated.
    EXPECT_EQ(controller.OnSleepSlider(35), "17 min 30 sec ");
    EXPECT_EQ(controller.OnSleepSlider(35), "17 min 30 sec ");
    rig.settle();
    EXPECT_EQ(rig.commandWrites(), writes + 5);
    EXPECT_EQ(rig.command(), "s1050");

    // Saving replaces an older node rather than adding a second one, and reads back as it was.
    auto saved = KVPropertyNode::create("root");
    saved->addChild("Device")->addChild("Brightness", "3");
    controller.saveSettings(*saved);
    ASSERT_EQ(saved->children().size(), 1u);
    EXPECT_EQ(saved->findChild("Device")->childValue("Brightness"), "40");
    EXPECT_EQ(corvane::devicectl::readDeviceSettings(*saved), controller.Settings());
}

TEST(DeviceController, IdleTickKeepsTheKeyboardsSleepTimerInStepWithTheSession) {
    DeviceRig rig;
    ASSERT_TRUE(rig.connect());
    auto& controller = *rig.controller;
    // The tick runs on the loop by itself.
    rig.idle->idle = 410s;
    ASSERT_TRUE(rig.runUntil([&] {
        rig.settle();
        return rig.command() == "s0420";
    }));
    const struct {
        int sleepSlider, brightness; // moved before the tick, unless -1
        std::optional<std::chrono::milliseconds> idle;
        const char* command; // in order.sys after the tick
        bool asleep;
    } steps[] = {
        {-1, 40, 405s, "b040", false},
        {-1, -1, 406s, "s0420", false}, // the last 15 s before the keyboard would sleep
        {-1, 50, 421s, "b050", true},
        {-1, -1, 300s, "b050", true},
        {-1, -1, 14999ms, "s0420", false}, // input again: wake the keyboard's timer
        // Delay 0: sent in every tick within the first second of idleness, asleep after it.
        {0, 61, 999ms, "s0000", false},
        {-1, 62, 1s, "b062", true},
        {-1, -1, 0ms, "s0000", false},
        {-1, 63, std::nullopt, "b063", false}, // without an idle time the keyboard never counts as idle
    };
    for (const auto& [sleepSlider, brightness, idle, command, asleep] : steps) {
        SCOPED_TRACE(testing::Message() << "idle " << (idle ? idle->count() : -1) << " ms");
        if (sleepSlider >= 0)
            controller.OnSleepSlider(sleepSlider);
        if (brightness >= 0)
            controller.OnBrightnessSlider(brightness);
        rig.idle->idle = idle;
        controller.IdleTick();
        rig.settle();
        EXPECT_EQ(rig.command(), command);
        EXPECT_EQ(controller.IsAsleep(), asleep);
    }
}
