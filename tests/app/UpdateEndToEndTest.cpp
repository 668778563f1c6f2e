// The running configurator upgrades a virtual keyboard's firmware from a local update server, refuses
// bad images and hostile servers while it keeps running, and ends for a firmware too old to drive.
#include "EndToEnd.h"
#include "support/TempDir.h"
#include "support/UpdateServer.h"
#include "update/FirmwareImage.h"

#include <fstream>

using namespace std::chrono_literals;

namespace {

std::string validImage() {
    std::vector<uint8_t> payload(500000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 31 + 5);
    const auto image = corvane::update::buildFirmwareImage(payload, 655360);
    return std::string(image.begin(), image.end());
}

class UpdateEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_root = new TempDir;
        const std::string good = validImage();
        std::string badChecksum = good, badHeader = good;
        badChecksum[4000] ^= 0x01;
        badHeader[2] = '9';
        s_root->write("upgrade.txt",
                      "Latest 0.76b\r\n0.70s\tshort.bin\r\n0.70c\tchecksum.bin\r\n0.70h\theader.bin\r\n"
                      "0.70e\tendless\r\n0.70r\tredirect-file\r\n");
        s_root->write("upgrade.bin", good);
        s_root->write("short.bin", good.substr(0, good.size() - 1));
        s_root->write("checksum.bin", badChecksum);
        s_root->write("header.bin", badHeader);
        s_server = new UpdateServer(s_root->path().string());
    }
    static void TearDownTestSuite() {
        delete s_server;
        delete s_root;
    }

    void SetUp() override { ASSERT_TRUE(s_server->running()); }

    ConfiguratorProcess start(const std::string& firmware, const std::string& command,
                              const std::string& directory = s_server->address(), bool allowHttp = true) {
        EXPECT_TRUE(rig.init(" --firmware " + firmware));
        std::vector<std::pair<std::string, std::string>> environment{{"CORVANE_FIRMWARE_URL", directory},
                                                                     {"CORVANE_CONFIGURATOR_URL", directory}};
        if (allowHttp)
            environment.emplace_back("CORVANE_UPDATES_ALLOW_HTTP", "1");
        return rig.start(environment, {command});
    }
    std::string upgradeFile() const { return rig.keyboard + "/vTavirex/upgrade.bin"; }

    static inline TempDir* s_root = nullptr;
    static inline UpdateServer* s_server = nullptr;
    KeyboardHome rig;
    const std::string& home = rig.home;
};

TEST_F(UpdateEndToEnd, TheLatestImageEndsUpOnTheKeyboardByteForByte) {
    ConfiguratorProcess process = start("TavirexV0.60b", "-minimized");
    ASSERT_TRUE(process.waitFor("configurator running", 30s)) << process.log;
    const auto upgraded = runCtl(home, "firmware upgrade");
    EXPECT_EQ(upgraded.status, 0) << upgraded.err << process.log;
    EXPECT_TRUE(waitUntil([&] { return readFile(upgradeFile()) == validImage(); }, 20s)) << process.log;
    stopOrderly(process);
}

TEST_F(UpdateEndToEnd, ShortAlteredAndForeignImagesAreNeverWritten) {
    ConfiguratorProcess process = start("TavirexV0.60b", "-minimized");
    ASSERT_TRUE(process.waitFor("configurator running", 30s)) << process.log;
    for (const std::string version : {"0.70s", "0.70c", "0.70h"}) {
        const auto refused = runCtl(home, "firmware upgrade " + version);
        EXPECT_EQ(refused.status, 1) << version << refused.err;
        EXPECT_NE(refused.err.find("refused"), std::string::npos) << refused.err;
        EXPECT_FALSE(std::filesystem::exists(upgradeFile())) << version;
    }
    // A local image goes the same way: checked, then written whole.
    const std::string image = home + "/local.bin";
    std::ofstream(image, std::ios::binary) << validImage();
    const auto installed = runCtl(home, "firmware install " + image);
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_TRUE(waitUntil([&] { return readFile(upgradeFile()) == validImage(); }, 20s)) << process.log;
    stopOrderly(process);
}

TEST_F(UpdateEndToEnd, AHostileServerIsNamedInTheLogAndNothingIsWritten) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"--firmware-upgrade=0.70e", "limit"},
        {"--firmware-upgrade=0.70r", "file"},
        {"--update-check", "limit"}, // from the 10 MiB list
    };
    for (const auto& [command, reason] : cases) {
        const std::string directory =
            command == "--update-check" ? s_server->address("huge") : s_server->address();
        ConfiguratorProcess process = start("TavirexV0.60b", command, directory);
        ASSERT_TRUE(process.waitFor("download failed", 60s)) << process.log;
        EXPECT_TRUE(process.waitFor(reason, 5s)) << process.log;
        stopOrderly(process);
        EXPECT_FALSE(std::filesystem::exists(upgradeFile())) << command;
    }
}

TEST_F(UpdateEndToEnd, PlainHttpIsRefusedUnlessConfiguredExplicitly) {
    ConfiguratorProcess process = start("TavirexV0.60b", "--firmware-upgrade", s_server->address(), false);
    ASSERT_TRUE(process.waitFor("refusing the plain http address", 60s)) << process.log;
    stopOrderly(process);
    EXPECT_FALSE(std::filesystem::exists(upgradeFile()));
}

TEST_F(UpdateEndToEnd, AFirmwareBelow060bIsExplainedAndEndsTheProgram) {
    ConfiguratorProcess process = start("TavirexV0.59b", "-minimized");
    EXPECT_EQ(process.wait(), 0) << process.log;
    EXPECT_NE(process.log.find("Firmware version 0.59b is outdated and incompatible with Configurator."),
              std::string::npos)
        << process.log;
    EXPECT_NE(process.log.find("upgrade instructions: https://"), std::string::npos) << process.log;
    EXPECT_NE(process.log.find("shut down"), std::string::npos) << process.log;
}

} // namespace
