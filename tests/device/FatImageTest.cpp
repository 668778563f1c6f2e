#include "TestFolder.h"
#include "device/DeviceFileSet.h"
#include "device/FirmwareVersion.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <map>

// The file set written onto a real FAT filesystem (an image made by mkfs.vfat and mounted with
// fusefat) reads back after a fresh mount exactly as the same staging does in a plain folder.
// Skipped where the tools or FUSE are missing.

using namespace corvane::device;

namespace {

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Every file below `root` by its relative path, with its contents.
std::map<std::string, std::string> tree(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            files[std::filesystem::relative(entry.path(), root)] = {std::istreambuf_iterator<char>(in), {}};
        }
    return files;
}

} // namespace

TEST(FatImage, FileSetReadsBackWhole) {
    if (!run("command -v mkfs.vfat") || !run("command -v fusefat") || !run("command -v fusermount") ||
        access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "mkfs.vfat, fusefat or FUSE is not available";
    TestKeyboardFolder scratch(""), plain;
    const std::string image = scratch.path() / "volume.img", fat = scratch.path() / "mnt";
    std::filesystem::create_directories(fat);
    ASSERT_TRUE(run("mkfs.vfat -C -S 512 -n CORVANE '" + image + "' 4096"));
    const auto mount = [&] { return run("fusefat -o rw+ '" + image + "' '" + fat + "'"); };
    const auto unmount = [&] { run("fusermount -u '" + fat + "'"); };
    if (!mount())
        GTEST_SKIP() << "fusefat cannot mount here";
    struct AtEnd {
        std::function<void()> unmount;
        ~AtEnd() { unmount(); }
    } atEnd{unmount};
    std::filesystem::create_directories(fat + "/vTavirex/dynamic");
    std::ofstream(fat + "/vTavirex/version.sys", std::ios::binary) << "TavirexV0.76b";

    std::vector<uint8_t> pixels(kPixels24Size), firmware(kFirmwareImageSize);
    for (size_t i = 0; i < firmware.size(); ++i)
        firmware[i] = uint8_t(i ^ (i >> 9));
    for (const std::string& root : {fat + "/", plain.root()}) {
        auto set = KVDeviceFileSet::build(root, KeyboardModelMain, 512);
        ASSERT_TRUE(set);
        for (unsigned key = 0; key < 113; ++key) {
            for (size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = uint8_t(i * 7 + key * 13);
            ASSERT_TRUE(set->stageKeyImage(key, pixels, 3));
            set->setKeyCode(key, uint8_t(key + 1));
        }
        set->setDisplaysActive(true);
        set->queueCommand("s0420");
        ASSERT_TRUE(set->stageFirmware(firmware));
        set->flushFiles({});
        EXPECT_EQ(set->totalWrites(), 113u + 4u) << root;
    }
    unmount();
    ASSERT_TRUE(mount());
    const auto written = tree(plain.path() / "vTavirex");
    EXPECT_EQ(written.size(), 1u + 113u + 4u);
    EXPECT_TRUE(tree(fat + "/vTavirex") == written);
}
