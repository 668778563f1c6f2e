#include "RecordingHandler.h"
#include "TestFolder.h"
#include "device/TavirexCorvane.h"
#include "device/UdevBackend.h"
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
    // Every added device is announced to listening monitors; a test that listens reads them as they come.
    std::function<void()> afterAdd;

    std::string add(const char* subsystem, const std::string& name, const std::string& parent,
                    Strings attributes, Strings properties) {
        const auto argv = [](Strings& strings) {
            std::vector<gchar*> out;
            for (std::string& s : strings)
                out.push_back(s.data());
            out.push_back(nullptr);
            return out;
        };
        gchar* path = umockdev_testbed_add_devicev(m_testbed.get(), subsystem, name.c_str(),
                                                   parent.empty() ? nullptr : parent.c_str(),
                                                   argv(attributes).data(), argv(properties).data());
        std::string result = path ? path : "";
        g_free(path);
        if (afterAdd)
            afterAdd();
        return result;
    }
    std::string block(const std::string& name, const std::string& parent, int minor, const char* type,
                      Strings attributes = {}) {
        attributes.insert(attributes.end(), {"dev", "8:" + std::to_string(minor)});
        return add(
            "block", name, parent, attributes,
            {"DEVTYPE", type, "MAJOR", "8", "MINOR", std::to_string(minor), "DEVNAME", "/dev/" + name});
    }

    // `n` numbers the keyboard: bus 1 port n, hidraw n * 10 and n * 10 + 1, disk sd('a' + n) at minor n * 16.
    MockKeyboard addKeyboard(int n, const std::string& diskVendor, const std::string& diskModel,
                             bool withHid = true, bool withKeyState = true) {
        const std::string port = "1-" + std::to_string(n), disk = "sd" + std::string(1, char('a' + n));
        const std::string hub = usb(port, "", "05e3", "0608");
        MockKeyboard keyboard;
        if (withHid)
            hid(hub, port + ".1", "04d9", "0022", "01", "hidraw" + std::to_string(n * 10));
        if (withKeyState)
            keyboard.keyStateNode =
                hid(hub, port + ".2", "8123", "1401", "00", "hidraw" + std::to_string(n * 10 + 1));
        const std::string storage = interface(usb(port + ".3", hub, "1234", "0001"), port + ".3", "00");
        const std::string scsi = add("scsi", std::to_string(n) + ":0:0:0", storage,
                                     {"vendor", diskVendor, "model", diskModel}, {"DEVTYPE", "scsi_device"});
        const std::string diskPath = block(disk, scsi, n * 16, "disk", {"queue/logical_block_size", "512"});
        keyboard.volume = block(disk + "1", diskPath, n * 16 + 1, "partition");
        return keyboard;
    }

    void uevent(const std::string& syspath, const char* action) {
        umockdev_testbed_uevent(m_testbed.get(), syspath.c_str(), action);
    }
    void remove(const std::string& syspath) {
        umockdev_testbed_remove_device(m_testbed.get(), syspath.c_str());
    }

private:
    std::string usb(const std::string& port, const std::string& parent, const char* vendor,
                    const char* product) {
        return add("usb", port, parent, {"idVendor", vendor, "idProduct", product},
                   {"DEVTYPE", "usb_device"});
    }
    std::string interface(const std::string& device, const std::string& port, const char* number) {
        return add("usb", port + ":1." + number, device, {"bInterfaceNumber", number},
                   {"DEVTYPE", "usb_interface"});
    }
    std::string hid(const std::string& hub, const std::string& port, const char* vendor, const char* product,
                    const char* interfaceNumber, const std::string& hidraw) {
        const std::string hidId = std::string("0003:0000") + vendor + ":0000" + product;
        const std::string hid =
            add("hid", hidId + "." + std::to_string(1000 + ++m_hidCount),
                interface(usb(port, hub, vendor, product), port, interfaceNumber), {}, {"HID_ID", hidId});
        add("hidraw", hidraw, hid, {}, {"DEVNAME", "/dev/" + hidraw});
        return "/dev/" + hidraw;
    }

    std::unique_ptr<UMockdevTestbed, void (*)(gpointer)> m_testbed{umockdev_testbed_new(), g_object_unref};
    int m_hidCount = 0;
};

struct Udev : ::testing::Test {
    std::unique_ptr<Testbed> testbed;
    TestKeyboardFolder volume{"TavirexV0.76b"};
    TestKeyboardFolder scratch{""};
    std::string mountInfo;
    std::map<std::string, int> hidraw; // node -> our end of its socket pair
    std::vector<std::string> mounted;
    std::optional<std::string> mountAnswer; // where the desktop mounts a volume asked for

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
            return mountAnswer;
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

TEST_F(Udev, KeyboardsAreFoundWithTheirPathsAndModelsMountedIfNeededAndTheFirstIsOpened) {
    TestKeyboardFolder second("TavirexV0.80"), third("TavirexV0.76b");
    testbed->addKeyboard(1, "KESTRAN", "QRT15_V.DISK");
    testbed->addKeyboard(2, "Acme", "Flash Disk");         // not a keyboard's disk
    testbed->addKeyboard(3, "KPR", "Corvane Disk", false); // no standard interface: unusable
    const MockKeyboard main = testbed->addKeyboard(4, "Kestran ", "ZQ113_V.DISK    ");
    testbed->addKeyboard(5, "Corvane", "Disk", true, false); // not mounted, no key-state interface
    setMounts({{"8:65", second.path().string()},
               {"8:33", "/tmp"},
               {"8:49", "/tmp"},
               {"8:17", volume.path().string()}});
    // Refused by UDisks2 and mounted by nobody: not usable.
    EXPECT_EQ(KVUdevBackend(options()).findDevices().size(), 2u);
    mounted.clear();

    mountAnswer = third.path().string(); // now the desktop mounts it
    KVManualLoop loop;
    CTavirexCorvane device(std::make_shared<KVUdevBackend>(options()), &loop);
    const auto found = device.FindDevices();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(mounted, std::vector<std::string>{"sdf1"});
    EXPECT_EQ(found[0].model, 1u);
    EXPECT_EQ(found[1].model, 0u);
    EXPECT_EQ(found[1].volumePath, main.volume);
    EXPECT_EQ(found[1].firstHidPath, "/dev/hidraw40");
    EXPECT_EQ(found[1].secondHidPath, "/dev/hidraw41");
    EXPECT_EQ(found[2].volumeName, third.root());
    EXPECT_TRUE(found[2].secondHidPath.empty());
    ASSERT_TRUE(device.Connect());
    EXPECT_EQ(device.CurrentDevice().volumeName, volume.root());
    EXPECT_EQ(device.VersionText(), "TavirexV0.76b");
    EXPECT_EQ(device.SectorSize(), 512u);
}

TEST_F(Udev, ArrivalConnectsOnceThePartsHaveSettledAndRemovalReleasesHeldKeysThenDisconnects) {
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
    const MockKeyboard keyboard = testbed->addKeyboard(1, "NXP SEMI", "LPC288X");
    testbed->afterAdd = nullptr;
    ASSERT_TRUE(loop.runUntil([&] { return device.IsConnected(); }, 5s));
    EXPECT_EQ(device.Model(), 0u);
    EXPECT_FALSE(device.UnmountDrive()); // the volume stays mounted while we drive it
    EXPECT_TRUE(device.MountDrive());
    ASSERT_TRUE(device.IsKeyStateOpen());
    ASSERT_EQ(hidraw.count(keyboard.keyStateNode), 1u);

    uint8_t report[16] = {};
    report[1 + 82 / 8] = uint8_t(1u << (82 % 8)); // left Shift held
    ASSERT_EQ(write(hidraw[keyboard.keyStateNode], report, sizeof report), ssize_t(sizeof report));
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 2; }, 5s));

    // Another block device going away leaves the keyboard alone.
    testbed->uevent(testbed->block("sdz", "", 240, "disk"), "remove");
    loop.runUntil([] { return false; }, 100ms);
    EXPECT_TRUE(device.IsConnected());

    testbed->uevent(keyboard.volume, "remove");
    testbed->remove(keyboard.volume);
    ASSERT_TRUE(loop.runUntil([&] { return !device.IsConnected(); }, 5s));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"connected", "down 82", "up 82", "disconnected"}));
}
