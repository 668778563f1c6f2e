#include "TestFolder.h"
#include "device/DeviceFileSet.h"
#include "device/FirmwareVersion.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

// The file set written onto a real FAT filesystem (an image made by mkfs.vfat and mounted with
// fusefat), then read back whole after a fresh mount. Skipped where the tools or FUSE are missing.

using namespace corvane::device;

namespace {

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

class FatImage {
public:
    explicit FatImage(const std::filesystem::path& folder)
        : m_image(folder / "volume.img"), m_mount(folder / "mnt") {
        std::filesystem::create_directories(m_mount);
    }
    ~FatImage() { unmount(); }

    bool create() { return run("mkfs.vfat -C -S 512 -n CORVANE '" + m_image.string() + "' 4096"); }
    bool mount() {
        m_mounted = run("fusefat -o rw+ '" + m_image.string() + "' '" + m_mount.string() + "'");
        return m_mounted;
    }
    void unmount() {
        if (m_mounted)
            run("fusermount -u '" + m_mount.string() + "'");
        m_mounted = false;
    }
    std::string root() const { return m_mount.string() + "/"; }

private:
    std::filesystem::path m_image;
    std::filesystem::path m_mount;
    bool m_mounted = false;
};

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(FatImage, FileSetReadsBackWhole) {
    if (!run("command -v mkfs.vfat") || !run("command -v fusefat") || !run("command -v fusermount") ||
        access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "mkfs.vfat, fusefat or FUSE is not available";
    TestKeyboardFolder scratch("");
    FatImage fat(scratch.path());
    ASSERT_TRUE(fat.create());
    if (!fat.mount())
        GTEST_SKIP() << "fusefat cannot mount here";
    std::filesystem::create_directories(fat.root() + "vTavirex/dynamic");
    {
        std::ofstream version(fat.root() + "vTavirex/version.sys", std::ios::binary);
        version << "TavirexV0.76b";
    }

    std::map<std::string, std::vector<uint8_t>> expected;
    {
        auto set = KVDeviceFileSet::build(fat.root(), KeyboardModelMain, 512);
        ASSERT_TRUE(set);
        std::vector<uint8_t> pixels(kPixels24Size);
        for (unsigned key = 0; key < 113; ++key) {
            for (size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = uint8_t(i * 7 + key * 13);
            ASSERT_TRUE(set->stageKeyImage(key, pixels, 3));
            const unsigned index =
                KVDeviceFileSet::kFirstDisplayEntry + modelDescriptor(0).keys[key].display - 1;
            expected[set->entry(index).path()] = {set->entry(index).pendingBuffer(),
                                                  set->entry(index).pendingBuffer() + kKeyImageSize};
            set->setKeyCode(key, uint8_t(key + 1));
        }
        set->setDisplaysActive(true);
        set->queueCommand("s0420");
        std::vector<uint8_t> firmware(kFirmwareImageSize);
        for (size_t i = 0; i < firmware.size(); ++i)
            firmware[i] = uint8_t(i ^ (i >> 9));
        ASSERT_TRUE(set->stageFirmware(firmware));
        expected[set->entry(KVDeviceFileSet::FirmwareEntry).path()] = firmware;
        expected[set->entry(KVDeviceFileSet::KeyCodeEntry).path()] = {set->currentTable().begin(),
                                                                      set->currentTable().end()};
        set->flushFiles({});
        EXPECT_EQ(set->totalWrites(), 113u + 4u);
    }
    fat.unmount();
    ASSERT_TRUE(fat.mount());

    for (const auto& [path, bytes] : expected) {
        const auto onDisk = readAll(path);
        ASSERT_EQ(onDisk.size(), bytes.size()) << path;
        EXPECT_TRUE(onDisk == bytes) << path;
    }
    const auto layout = readAll(fat.root() + "vTavirex/layout.sys");
    ASSERT_EQ(layout.size(), 512u);
    EXPECT_EQ(std::count(layout.begin(), layout.begin() + 114, 1), 114);
    const auto order = readAll(fat.root() + "vTavirex/order.sys");
    ASSERT_EQ(order.size(), 512u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(order.data())), "s0420");
    EXPECT_FALSE(std::filesystem::exists(fat.root() + "vTavirex/dynamic/007.sys"));
}
