// The update controller against a local server (tests/update/update_server.py) and a fake keyboard.
#include "update/FirmwareUpdateController.h"

#include "core/MessageDispatch.h"
#include "support/ManualLoop.h"
#include "support/TempDir.h"
#include "support/UpdateServer.h"
#include "update/FirmwareImage.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Result = KVFirmwareUpdateController::Result;
using Stage = KVFirmwareUpdateController::Stage;

namespace {

struct FakeKeyboard final : IKVFirmwareKeyboard {
    bool open = true;
    std::string version = "TavirexV0.60b";
    std::vector<std::vector<uint8_t>> staged;
    bool IsKeyboardOpen() const override { return open; }
    std::string FirmwareVersionText() const override { return version; }
    bool StageFirmware(std::span<const uint8_t> image) override {
        if (image.size() != 655360)
            return false;
        staged.emplace_back(image.begin(), image.end());
        return true;
    }
};

struct FakeDesktop final : KVUpdateDesktop {
    bool answer = true;
    std::vector<std::string> questions, pages, packages;
    bool AskOutdatedFirmware(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return answer;
    }
    void OpenPage(const std::string& address) override { pages.push_back(address); }
    bool OpenPackage(const std::string& path) override {
        packages.push_back(path);
        return true;
    }
};

std::vector<uint8_t> validImage(uint8_t seed) {
    std::vector<uint8_t> payload(600000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 13 + seed);
    return corvane::update::buildFirmwareImage(payload, 655360);
}

// One server for the whole suite: starting Python is the slowest part of these tests.
struct ServedFiles {
    ServedFiles() {
        const auto text = [](const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); };
        root.write("upgrade.txt", "Tavirex firmware 0.76b\r\n0.76b\tupgrade.bin\r\n0.70s\tshort.bin\r\n"
                                  "0.70c\tchecksum.bin\r\n0.70h\theader.bin\r\n0.70e\tendless\r\n"
                                  "0.70r\tredirect-file\r\n0.70f\tredirect-ftp\r\n0.70q\tsilent\r\n");
        root.write("upgrade.bin", text(validImage(1)));
        root.write("short.bin", text(validImage(2)).substr(0, 655359));
        root.write("cfg/upgrade.txt", "9.9.9\tCorvane Configurator 9.9.9.deb\r\n");
        root.write("cfg/Corvane Configurator 9.9.9.deb", std::string(300000, 'P'));
        server = std::make_unique<UpdateServer>(root.path().string());
    }
    TempDir root;
    std::unique_ptr<UpdateServer> server;
};

class UpdateControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_served = std::make_unique<ServedFiles>(); }
    static void TearDownTestSuite() { s_served.reset(); }

    UpdateControllerTest() : server(*s_served->server) {
        dispatch.RegisterHandler<KVM_UPDATE_PROGRESS>(this, &UpdateControllerTest::onProgress);
        settings.firmwareDirectory = server.address();
        settings.configuratorDirectory = server.address("cfg");
        settings.instructionsPage = "https://example.org/instructions";
        settings.allowPlainHttp = true;
        settings.stallTimeout = 1s;
    }

    void onProgress() { ++progressMessages; }
    KVFirmwareUpdateController& controller() {
        if (!m_controller)
            m_controller = std::make_unique<KVFirmwareUpdateController>(
                loop, dispatch, keyboard, desktop, settings, scratch.path().string(), "0.1.0");
        return *m_controller;
    }

    // Runs `operation` with callbacks and the loop until it reports.
    Result run(const std::function<void(KVFirmwareUpdateController::Callbacks)>& operation) {
        std::optional<Result> result;
        KVFirmwareUpdateController::Callbacks callbacks;
        callbacks.progress = [this](unsigned percent) { percents.push_back(percent); };
        callbacks.done = [&](const Result& r) { result = r; };
        operation(std::move(callbacks));
        loop.runUntil([&] { return result.has_value(); }, 60s);
        EXPECT_TRUE(result) << "the operation never reported";
        return result.value_or(Result{false, "no report"});
    }
    Result upgrade(const std::string& version) {
        return run([&](auto callbacks) { controller().UpgradeFirmware(version, std::move(callbacks)); });
    }

    static inline std::unique_ptr<ServedFiles> s_served;
    TempDir scratch;
    const UpdateServer& server;
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    int progressMessages = 0;
    FakeKeyboard keyboard;
    FakeDesktop desktop;
    KVUpdateSettings settings;
    std::vector<unsigned> percents;
    std::unique_ptr<KVFirmwareUpdateController> m_controller;
};

TEST_F(UpdateControllerTest, AKeyboardBelow060bIsExplainedAndEndsTheProgram) {
    ASSERT_TRUE(server.running());
    for (bool answer : {true, false}) {
        CKVMessageDispatch ownDispatch(loop);
        desktop = FakeDesktop();
        desktop.answer = answer;
        keyboard.version = "TavirexV0.59b";
        KVFirmwareUpdateController updates(loop, ownDispatch, keyboard, desktop, settings, "", "0.1.0");
        ownDispatch.send<KVM_DEVICE_STATE>(1); // leaving: nothing to say
        EXPECT_TRUE(desktop.questions.empty());
        ownDispatch.send<KVM_DEVICE_STATE>(0);
        EXPECT_EQ(desktop.questions.size(), 1u); // its wording is the end-to-end test's
        EXPECT_EQ(desktop.pages,
                  answer ? std::vector<std::string>{settings.instructionsPage} : std::vector<std::string>{});
        loop.runUntil([&] { return ownDispatch.IsDestroyed(); }, 5s);
        EXPECT_TRUE(ownDispatch.IsDestroyed());
    }
}

TEST_F(UpdateControllerTest, CheckEnablesUpdateOnlyForANewerFirmwareUnlessAdvanced) {
    dispatch.send<KVM_DEVICE_STATE>(0);
    EXPECT_FALSE(dispatch.IsDestroyed());
    EXPECT_FALSE(controller().UpdateEnabled(false)) << "nothing is known about published versions yet";
    const Result result = run([&](auto callbacks) { controller().CheckForUpdates(std::move(callbacks)); });
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(controller().CurrentFirmwareText(), "0.60b");
    EXPECT_EQ(controller().AvailableFirmwareText(), "0.76b");
    EXPECT_EQ(controller().AvailableConfiguratorText(), "9.9.9");
    EXPECT_EQ(controller().firmwareEntries().size(), 9u);
    EXPECT_TRUE(controller().UpdateEnabled(false));
    EXPECT_TRUE(controller().InstallEnabled());
    EXPECT_EQ(controller().stage(), Stage::Idle);
    EXPECT_GT(progressMessages, 0);

    // "Update" with "Advanced" fetches the selected entry: here a short image, which is refused.
    ASSERT_EQ(controller().firmwareEntries()[2].version, "0.70s");
    ASSERT_TRUE(controller().Update(true, 2));
    EXPECT_EQ(controller().StatusText(), "Downloaded: 0%");
    EXPECT_FALSE(controller().UpdateEnabled(true)) << "not while an image is downloaded";
    loop.runUntil([&] { return controller().stage() == Stage::Idle; }, 30s);
    EXPECT_TRUE(keyboard.staged.empty());
    EXPECT_EQ(controller().StatusText(), "");

    keyboard.version = "TavirexV0.76b";
    dispatch.send<KVM_DEVICE_STATE>(0);
    EXPECT_FALSE(controller().UpdateEnabled(false));
    EXPECT_FALSE(controller().Update(false, 0));
    EXPECT_TRUE(controller().UpdateEnabled(true));
    keyboard.open = false;
    dispatch.send<KVM_DEVICE_STATE>(1);
    EXPECT_EQ(controller().CurrentFirmwareText(), "[Device not connected]");
    EXPECT_FALSE(controller().UpdateEnabled(true));
}

TEST_F(UpdateControllerTest, TheLatestOrALocalImageReachesTheKeyboardWholeAndABadOneNever) {
    const Result result = upgrade("");
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(keyboard.staged.size(), 1u);
    EXPECT_EQ(keyboard.staged[0], validImage(1));
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(controller().stage(), Stage::Idle);

    keyboard.version = "TavirexV0.76b";
    const Result upToDate = upgrade("");
    EXPECT_TRUE(upToDate.ok);
    EXPECT_NE(upToDate.message.find("up to date"), std::string::npos);
    const Result unknown = upgrade("0.99z");
    EXPECT_NE(unknown.message.find("not published"), std::string::npos) << unknown.message;

    // A local image is checked before it is staged.
    auto image = validImage(9);
    EXPECT_TRUE(controller().InstallFirmwareImage(image).ok);
    image.resize(655359);
    EXPECT_FALSE(controller().InstallFirmwareImage(image).ok);
    keyboard.open = false;
    EXPECT_FALSE(controller().InstallFirmwareImage(validImage(9)).ok);
    EXPECT_EQ(keyboard.staged.size(), 2u);
}

TEST_F(UpdateControllerTest, AHostileServerStagesNothingAndIsReported) {
    const std::map<std::string, std::string> expected{{"0.70f", "ftp"}, {"0.70q", "timed out"}};
    for (const auto& [version, reason] : expected) {
        const Result result = upgrade(version);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find(reason), std::string::npos) << version << ": " << result.message;
        EXPECT_EQ(controller().stage(), Stage::Idle);
    }
    EXPECT_TRUE(keyboard.staged.empty());
}

TEST_F(UpdateControllerTest, OneDownloadAtATimeAndTheProgramCanEndDuringOne) {
    settings.stallTimeout = 3600s; // only cancelling can end the silent download in time
    std::optional<Result> first;
    controller().UpgradeFirmware("0.70q", {{}, [&](const Result& r) { first = r; }});
    loop.runUntil([&] { return controller().stage() == Stage::FirmwareImage; }, 30s);
    const Result second = run([&](auto callbacks) { controller().CheckForUpdates(std::move(callbacks)); });
    EXPECT_NE(second.message.find("another"), std::string::npos);
    m_controller.reset(); // cancels the silent download and returns
    EXPECT_FALSE(first.has_value());
}

TEST_F(UpdateControllerTest, ThePackageIsWrittenWholeUnderItsNameWithBlanksAndOpened) {
    const Result result =
        run([&](auto callbacks) { controller().InstallConfigurator(std::move(callbacks)); });
    ASSERT_TRUE(result.ok) << result.message;
    const std::string path = scratch / "Corvane Configurator 9.9.9.deb";
    EXPECT_EQ(desktop.packages, std::vector<std::string>{path});
    EXPECT_EQ(readWholeFile(path), std::string(300000, 'P'));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
}

} // namespace
