#include "RecordingHandler.h"
#include "TestFolder.h"
#include "device/TavirexCorvane.h"
#include "device/UdevBackend.h"
#include "device/VirtualKeyboard.h"
#include "support/ManualLoop.h"

#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/socket.h>
#include <umockdev.h>
#include <unistd.h>

// Real libudev code over a sysfs and uevents mocked by umockdev. These tests run under umockdev-wrapper
// (a second ctest entry); without its preload they skip.

using namespace std::chrono_literals;

namespace {

// umockdev_in_mock_environment() looks at how libumockdev itself was bound, which can miss the preload;
// ask who provides open() to us instead.
bool preloadActive() {
    Dl_info info{};
    void* open = dlsym(RTLD_DEFAULT, "open");
    return open && dladdr(open, &info) != 0 && info.dli_fname &&
           std::strstr(info.dli_fname, "libumockdev-preload");
}

using Strings = std::vector<std::string>;

// The sysfs of one keyboard: a 05E3:0608 hub with the HID keyboard, the key-state device and the disk.
struct MockKeyboard {
    std::string volume; // the partition's syspath
    std::string keyStateNode;
};

class Testbed {
public:
    Testbed() : m_testbed(umockdev_testbed_new()) {}
    ~Testbed() { g_object_unref(m_testbed); }
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Every added device is announced to listening monitors; a test that listens reads them as they come.
    std::function<void()> afterAdd;

    std::string add(const char* subsystem, const std::string& name, const std::string& parent,
                    const Strings& attributes, const Strings& properties) {
        const auto argv = [](const Strings& strings) {
            std::vector<gchar*> out;
            for (const std::string& s : strings)
                out.push_back(const_cast<gchar*>(s.c_str()));
            out.push_back(nullptr);
            return out;
        };
        gchar* path = umockdev_testbed_add_devicev(m_testbed, subsystem, name.c_str(),
                                                   parent.empty() ? nullptr : parent.c_str(),
                                                   argv(attributes).data(), argv(properties).data());
        std::string result = path ? path : "";
        g_free(path);
        if (afterAdd)
            afterAdd();
        return result;
    }

    // `n` numbers the keyboard (bus 1, port n); `minor` the disk's first minor number.
    MockKeyboard addKeyboard(int n, const std::string& diskVendor, const std::string& diskModel,
                             bool withHid = true, bool withKeyState = true) {
        const std::string port = "1-" + std::to_string(n);
        const std::string hub =
            add("usb", port, "", {"idVendor", "05e3", "idProduct", "0608"}, {"DEVTYPE", "usb_device"});
        MockKeyboard keyboard;
        const int base = n * 10;
        if (withHid)
            addHid(hub, port + ".1", "04d9", "0022", "01", "hidraw" + std::to_string(base));
        if (withKeyState)
            keyboard.keyStateNode =
                addHid(hub, port + ".2", "8123", "1401", "00", "hidraw" + std::to_string(base + 1));
        const std::string storage = add("usb", port + ".3", hub, {"idVendor", "1234", "idProduct", "0001"},
                                        {"DEVTYPE", "usb_device"});
        const std::string interface =
            add("usb", port + ".3:1.0", storage, {"bInterfaceNumber", "00"}, {"DEVTYPE", "usb_interface"});
        const std::string scsi = add("scsi", std::to_string(n) + ":0:0:0", interface,
                                     {"vendor", diskVendor, "model", diskModel}, {"DEVTYPE", "scsi_device"});
        const std::string disk = "sd" + std::string(1, char('a' + n));
        const int minor = n * 16;
        const std::string diskPath =
            add("block", disk, scsi, {"dev", "8:" + std::to_string(minor), "queue/logical_block_size", "512"},
                {"DEVTYPE", "disk", "MAJOR", "8", "MINOR", std::to_string(minor), "DEVNAME", "/dev/" + disk});
        keyboard.volume = add("block", disk + "1", diskPath, {"dev", "8:" + std::to_string(minor + 1)},
                              {"DEVTYPE", "partition", "MAJOR", "8", "MINOR", std::to_string(minor + 1),
                               "DEVNAME", "/dev/" + disk + "1"});
        return keyboard;
    }

    void uevent(const std::string& syspath, const char* action) {
        umockdev_testbed_uevent(m_testbed, syspath.c_str(), action);
    }
    void remove(const std::string& syspath) { umockdev_testbed_remove_device(m_testbed, syspath.c_str()); }

private:
    std::string addHid(const std::string& hub, const std::string& port, const char* vendor,
                       const char* product, const char* interfaceNumber, const std::string& hidraw) {
        const std::string usb =
            add("usb", port, hub, {"idVendor", vendor, "idProduct", product}, {"DEVTYPE", "usb_device"});
        const std::string interface =
            add("usb", port + ":1." + interfaceNumber, usb, {"bInterfaceNumber", interfaceNumber},
                {"DEVTYPE", "usb_interface"});
        const std::string hidId = std::string("0003:0000") + vendor + ":0000" + product;
        const std::string hid =
            add("hid", hidId + "." + std::to_string(1000 + ++m_hidCount), interface, {}, {"HID_ID", hidId});
        add("hidraw", hidraw, hid, {}, {"DEVNAME", "/dev/" + hidraw});
        return "/dev/" + hidraw;
    }

    UMockdevTestbed* m_testbed;
    int m_hidCount = 0;
};

struct Udev : ::testing::Test {
    std::unique_ptr<Testbed> testbed;
    TestKeyboardFolder volume{"TavirexV0.76b"};
    TestKeyboardFolder scratch{""};
    std::string mountInfo;
    std::map<std::string, int> hidraw; // node -> our end of its socket pair
    std::vector<std::string> mounted;

    void SetUp() override {
        if (!preloadActive())
            GTEST_SKIP() << "umockdev's preload is not active (run under umockdev-wrapper)";
        testbed = std::make_unique<Testbed>();
        mountInfo = (scratch.path() / "mountinfo").string();
        setMounts({});
    }
    void TearDown() override {
        for (const auto& [node, fd] : hidraw)
            close(fd);
    }

    void setMounts(const std::vector<std::pair<std::string, std::string>>& mounts) {
        std::ofstream out(mountInfo, std::ios::trunc);
        out << "22 1 0:21 / /proc rw,nosuid - proc proc rw\n";
        int id = 40;
        for (const auto& [numbers, point] : mounts)
            out << id++ << " 1 " << numbers << " / " << point << " rw,nosuid - vfat /dev/sdx rw\n";
    }

    KVUdevBackend::Options options() {
        KVUdevBackend::Options options;
        options.mountInfoPath = mountInfo;
        options.mount = [this](const std::string& name) -> std::optional<std::string> {
            mounted.push_back(name);
            return std::nullopt;
        };
        options.openRestricted = [this](const std::string& path, int) {
            int pair[2];
            if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0)
                return -1;
            hidraw[path] = pair[1];
            return pair[0];
        };
        return options;
    }
};

} // namespace

TEST_F(Udev, KeyboardsAreFoundWithTheirPathsAndModelsAndTheFirstIsOpened) {
    TestKeyboardFolder second("TavirexV0.80");
    testbed->addKeyboard(1, "KESTRAN", "QRT15_V.DISK");
    testbed->addKeyboard(2, "Acme", "Flash Disk");         // not a keyboard's disk
    testbed->addKeyboard(3, "KPR", "Corvane Disk", false); // no standard interface: unusable
    const MockKeyboard main = testbed->addKeyboard(4, "Kestran ", "ZQ113_V.DISK    ");
    setMounts({{"8:65", second.path().string()},
               {"8:33", "/tmp"},
               {"8:49", "/tmp"},
               {"8:17", volume.path().string()}});
    KVManualLoop loop;
    CTavirexCorvane device(std::make_shared<KVUdevBackend>(options()), &loop);
    const auto found = device.FindDevices();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].model, 1u);
    EXPECT_EQ(found[1].model, 0u);
    EXPECT_EQ(found[1].volumePath, main.volume);
    EXPECT_EQ(found[1].firstHidPath, "/dev/hidraw40");
    EXPECT_EQ(found[1].secondHidPath, "/dev/hidraw41");
    EXPECT_TRUE(mounted.empty());
    ASSERT_TRUE(device.Connect());
    EXPECT_EQ(device.CurrentDevice().volumeName, volume.root());
    EXPECT_EQ(device.VersionText(), "TavirexV0.76b");
    EXPECT_EQ(device.SectorSize(), 512u);
}

TEST_F(Udev, VolumeNotMountedIsMountedThroughTheDesktop) {
    testbed->addKeyboard(1, "Corvane", "Disk", true, false);
    KVUdevBackend::Options opts = options();
    opts.mount = [&](const std::string& name) -> std::optional<std::string> {
        mounted.push_back(name);
        return volume.path().string();
    };
    KVUdevBackend backend(opts);
    const auto found = backend.findDevices();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(mounted, std::vector<std::string>{"sdb1"});
    EXPECT_EQ(found[0].volumeName, volume.root());
    EXPECT_TRUE(found[0].secondHidPath.empty());

    // Refused by UDisks2 and mounted by nobody: not usable.
    KVUdevBackend refusing(options());
    EXPECT_TRUE(refusing.findDevices().empty());
}

TEST_F(Udev, RemovalReleasesHeldKeysThenDisconnects) {
    const MockKeyboard keyboard = testbed->addKeyboard(1, "Kestran", "ZQ113_V.DISK");
    setMounts({{"8:17", volume.path().string()}});
    KVManualLoop loop;
    RecordingHandler recorder(loop);
    CTavirexCorvane device(std::make_shared<KVUdevBackend>(options()), &loop);
    device.SetEventHandler(&recorder);
    ASSERT_TRUE(device.StartMonitoring());
    ASSERT_TRUE(device.Connect());
    ASSERT_TRUE(device.IsKeyStateOpen());
    ASSERT_EQ(hidraw.count(keyboard.keyStateNode), 1u);

    uint8_t report[16] = {};
    report[1 + 82 / 8] = uint8_t(1u << (82 % 8)); // left Shift held
    ASSERT_EQ(write(hidraw[keyboard.keyStateNode], report, sizeof report), ssize_t(sizeof report));
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 2; }, 5s));

    // Another block device going away leaves the keyboard alone.
    const std::string other =
        testbed->add("block", "sdz", "", {"dev", "8:240"}, {"DEVTYPE", "disk", "MAJOR", "8", "MINOR", "240"});
    testbed->uevent(other, "remove");
    loop.runUntil([] { return false; }, 100ms);
    EXPECT_TRUE(device.IsConnected());

    testbed->uevent(keyboard.volume, "remove");
    testbed->remove(keyboard.volume);
    ASSERT_TRUE(loop.runUntil([&] { return !device.IsConnected(); }, 5s));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"connected", "down 82", "up 82", "disconnected"}));
}

TEST_F(Udev, ArrivalConnectsOnceThePartsHaveSettled) {
    KVManualLoop loop;
    RecordingHandler recorder(loop);
    CTavirexCorvane device(std::make_shared<KVUdevBackend>(options()), &loop);
    device.SetEventHandler(&recorder);
    ASSERT_TRUE(device.StartMonitoring());
    EXPECT_FALSE(device.Connect());

    // The parts are announced one by one as they are added; the mount comes first so that the keyboard
    // is complete with its last part.
    setMounts({{"8:17", volume.path().string()}});
    testbed->afterAdd = [&] { loop.runOnce(); };
    testbed->addKeyboard(1, "NXP SEMI", "LPC288X");
    testbed->afterAdd = nullptr;
    ASSERT_TRUE(loop.runUntil([&] { return device.IsConnected(); }, 5s));
    EXPECT_EQ(device.Model(), 0u);
    EXPECT_EQ(recorder.events, std::vector<std::string>{"connected"});
    EXPECT_FALSE(device.UnmountDrive()); // the volume stays mounted while we drive it
    EXPECT_TRUE(device.MountDrive());
}
