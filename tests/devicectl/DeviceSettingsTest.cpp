#include "devicectl/DeviceSettings.h"

#include "store/PropertyNode.h"

#include <gtest/gtest.h>

using namespace corvane::devicectl;

namespace {

KVPtr<KVPropertyNode> rootWithDevice(std::initializer_list<std::pair<const char*, const char*>> keys) {
    auto root = KVPropertyNode::create("root");
    auto device = root->addChild("Device");
    for (const auto& [name, value] : keys)
        device->addChild(name, value);
    return root;
}

} // namespace

// Numbers are read as every stored number is (their own tests); here the node, missing keys and flags.
TEST(DeviceSettings, NoNodeKeepsTheDefaultsMissingKeysReadAsZeroAndFlagsAreTrueOnlyAsTrue) {
    EXPECT_FALSE(readDeviceSettings(*KVPropertyNode::create("root")));
    EXPECT_EQ(readDeviceSettings(*rootWithDevice({{"ShowVirtualDrive", "false"}})),
              (KVDeviceSettings{0, false, 0, false}));
    const auto empty = readDeviceSettings(*rootWithDevice({}));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->showVirtualDrive); // the one key that reads as on when missing

    const auto flags =
        readDeviceSettings(*rootWithDevice({{"AutoBrightness", "True"}, {"ShowVirtualDrive", "1"}}));
    ASSERT_TRUE(flags);
    EXPECT_FALSE(flags->autoBrightness);
    EXPECT_FALSE(flags->showVirtualDrive);
    EXPECT_TRUE(parseStoredBool("true"));
    EXPECT_FALSE(parseStoredBool("true "));
}

TEST(DeviceSettings, SavedNodeReadsBackAndReplacesAnOlderOne) {
    auto root = rootWithDevice({{"Brightness", "3"}});
    const KVDeviceSettings settings{100, true, 9999, false};
    writeDeviceSettings(settings, *root);
    ASSERT_EQ(root->children().size(), 1u);
    const auto node = root->findChild("Device");
    EXPECT_EQ(node->childValue("AutoBrightness"), "true");
    EXPECT_EQ(node->childValue("ShowVirtualDrive"), "false");
    EXPECT_EQ(readDeviceSettings(*root), settings);
}

TEST(DeviceSettings, SleepSliderInterpolatesBetweenItsMarksAndClamps) {
    // Marks map both ways; between marks the seconds are interpolated, and a delay between two
    // positions takes the lower one.
    for (const auto& [position, seconds] : {std::pair<int, unsigned>{0, 0}, {35, 1050}, {60, 9999}}) {
        EXPECT_EQ(sleepPositionToSeconds(position), seconds) << position;
        EXPECT_EQ(sleepSecondsToPosition(seconds), position) << seconds;
    }
    EXPECT_EQ(sleepPositionToSeconds(55), 6799u);
    EXPECT_EQ(sleepSecondsToPosition(420), 30);
    EXPECT_EQ(sleepSecondsToPosition(20000), kSleepSliderMaximum);
    EXPECT_EQ(sleepPositionToSeconds(-3), 0u);
    EXPECT_EQ(sleepPositionToSeconds(75), 9999u);

    EXPECT_EQ(sleepDelayText(3661), "1 hr 1 min 1 sec ");
    EXPECT_EQ(sleepDelayText(9999), "Never");
}
