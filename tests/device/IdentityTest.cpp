#include "TestFolder.h"
#include "device/DeviceIdentity.h"
#include "device/MountInfo.h"
#include "device/UDisksMount.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

using namespace corvane::device;

TEST(DeviceIdentity, DisksAreKnownByVendorAndModel) {
    EXPECT_EQ(diskIdentifier("Kestran ", "ZQ113 V.DISK    "), "USBSTOR\\DISK&VEN_KESTRAN&PROD_ZQ113_V.DISK");
    EXPECT_EQ(modelOfDisk(diskIdentifier("Kestran", "ZQ113_V.DISK")), 0u);
    EXPECT_EQ(modelOfDisk(diskIdentifier("KESTRAN", "QRT15_V.DISK")), 1u);
    EXPECT_EQ(modelOfDisk(diskIdentifier("Kestran", "ZQ11")), std::nullopt);
    EXPECT_EQ(modelOfDisk(diskIdentifier("Acme", "ZQ113_V.DISK")), std::nullopt);

    EXPECT_EQ(hidIdentifier(0x04D9, 0x0022, 1), "HID\\VID_04D9&PID_0022&MI_01");
    EXPECT_NE(hidIdentifier(0x8123, 0x14AB, 0).find(kKeyStateHidId), std::string::npos);
    EXPECT_EQ(hidIdentifier(0x8123, 0x1500, 0).find(kKeyStateHidId), std::string::npos);

    EXPECT_EQ(udisksBlockObjectPath("mmc-x_1"), "/org/freedesktop/UDisks2/block_devices/mmc_2dx_1");
}

TEST(MountInfo, FindsTheWholeVolumeMount) {
    TestKeyboardFolder folder("");
    folder.write("mountinfo", [] {
        const std::string text = "22 1 0:21 / /proc rw - proc proc rw\n"
                                 "41 30 8:17 /sub /mnt/bind rw - vfat /dev/sdb1 rw\n"
                                 "42 30 8:17 / /media/me/CORVANE\\040DISK rw,nosuid - vfat /dev/sdb1 rw\n"
                                 "43 30 8:33 / /media/other rw - vfat /dev/sdc1 rw\n";
        return std::vector<uint8_t>(text.begin(), text.end());
    }());
    const std::string table = (folder.path() / "mountinfo").string();
    EXPECT_EQ(mountPointOf(makedev(8, 17), table), "/media/me/CORVANE DISK");
    EXPECT_EQ(mountPointOf(makedev(8, 33), table), "/media/other");
    EXPECT_EQ(mountPointOf(makedev(8, 1), table), std::nullopt);
    EXPECT_EQ(mountPointOf(makedev(8, 17), table + ".missing"), std::nullopt);
    EXPECT_EQ(unescapeMountField("a\\134b\\011c\\9"), "a\\b\tc\\9");
}
