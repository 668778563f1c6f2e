// The keyboard properties and the updates dialogs against a running configurator: every change reaches
// the device controller, the (virtual) keyboard and the saved profile; updates come from a local server.
#include "EditorFixture.h"
#include "core/MessageDispatch.h"
#include "device/VirtualKeyboard.h"
#include "devicectl/DeviceController.h"
#include "editor/KeyboardPropertiesDlg.h"
#include "editor/UpdateDlg.h"
#include "store/PropertyListReader.h"
#include "store/StoreFolders.h"
#include "support/UpdateServer.h"
#include "update/FirmwareImage.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

using Stage = KVFirmwareUpdateController::Stage;

bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        EditorFixture::settle(20);
    }
    return true;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A check box takes clicks on its mark and its text, not on the empty rest of its row.
void clickBox(QCheckBox& box) {
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(box.height() / 2, box.height() / 2));
}

// The command the keyboard last received, up to its terminating zero.
std::string keyboardCommand(const std::filesystem::path& keyboard) {
    const std::string bytes = readFile(keyboard / "vTavirex/order.sys");
    return bytes.substr(0, bytes.find('\0'));
}

// What "Device.plist" in the profile holds under `key`.
std::string stored(const std::string& key) {
    const auto device =
        corvane::loadPropertyList(KVStoreFolders().profileFolder() + "/Device.plist", "Device");
    return device ? device->childValue(key) : "<no Device.plist>";
}

std::string firmwareImage() {
    std::vector<uint8_t> payload(400000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7 + 3);
    const auto image = corvane::update::buildFirmwareImage(payload, 655360);
    return {image.begin(), image.end()};
}

// Follows what the dialog shows while a download runs (registered after it, so it sees each refresh).
struct ProgressWatch {
    ProgressWatch(CKVMessageDispatch& dispatch, CKVUpdateDlg& dlg) : dispatch(dispatch), dlg(dlg) {
        dispatch.RegisterHandler<KVM_UPDATE_PROGRESS>(this, &ProgressWatch::seen);
    }
    ~ProgressWatch() { dispatch.UnregisterHandlers(this); }
    void seen() {
        if (!dlg.progressBar()->isVisibleTo(&dlg))
            return;
        statuses.push_back(dlg.statusText()->text().toStdString());
        largest = std::max(largest, dlg.progressBar()->value());
    }
    CKVMessageDispatch& dispatch;
    CKVUpdateDlg& dlg;
    std::vector<std::string> statuses;
    int largest = 0;
};

// The configurator with a virtual keyboard of `version` (none when empty), its updates served from the
// folders `firmware` and `configurator` of a local server.
class DialogsTest : public EditorFixture {
protected:
    void startWith(const std::string& version, const std::string& firmwareFolder = "firmware") {
        updates.write("firmware/upgrade.txt", "Latest 0.76b\r\n0.70a\tolder.bin\r\n");
        updates.write("firmware/upgrade.bin", firmwareImage());
        updates.write("configurator/upgrade.txt", "99.0.0\tcorvane-configurator_99.0.0.deb\r\n");
        server = std::make_unique<UpdateServer>(updates.path().string());
        ASSERT_TRUE(server->running());
        ::setenv("CORVANE_UPDATES_ALLOW_HTTP", "1", 1);
        ::setenv("CORVANE_FIRMWARE_URL", server->address(firmwareFolder + "/").c_str(), 1);
        ::setenv("CORVANE_CONFIGURATOR_URL", server->address("configurator/").c_str(), 1);
        keyboard = home() / "keyboard";
        if (version.empty())
            return start();
        ASSERT_TRUE(corvane::device::virtualkbd::createVirtualKeyboard(keyboard, version, 0));
        start({"--virtual-keyboard", keyboard.string()});
    }
    void TearDown() override {
        EditorFixture::TearDown();
        for (const char* name :
             {"CORVANE_FIRMWARE_URL", "CORVANE_CONFIGURATOR_URL", "CORVANE_UPDATES_ALLOW_HTTP"})
            ::unsetenv(name);
    }
    const KVDeviceSettings& settings() { return services().device.Settings(); }
    bool idle() { return services().updates.stage() == Stage::Idle; }

    TempDir updates;
    std::unique_ptr<UpdateServer> server;
    std::filesystem::path keyboard;
};

} // namespace

TEST_F(DialogsTest, KeyboardPropertiesReachTheKeyboardAndTheProfileOrSayWhyTheyWereNotSaved) {
    startWith("TavirexV0.76b");
    KVEditorServices s = services();
    CKVKeyboardPropertiesDlg dlg(s, &window());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QSlider& sleep = *dlg.sleepSlider();
    QSlider& brightness = *dlg.brightnessSlider();
    // The first start's 420 s sits between 5 and 30 minutes; opening the dialog changes nothing.
    EXPECT_EQ(sleep.value(), 30);
    EXPECT_EQ(dlg.delayText()->text(), "7 min ");
    EXPECT_EQ(settings().sleepDelay, 420u);
    EXPECT_EQ(brightness.value(), 70);
    saveScreenshots(dlg, "keyboard-properties");
    const auto sent = [&](const std::string& command) {
        EXPECT_TRUE(eventually([&] { return keyboardCommand(keyboard) == command; }))
            << keyboardCommand(keyboard) << " instead of " << command;
    };

    for (const auto& [key, text, seconds] :
         {std::tuple{Qt::Key_Home, "Immediately", 0u}, std::tuple{Qt::Key_End, "Never", 9999u}}) {
        QTest::keyClick(&sleep, key);
        EXPECT_EQ(dlg.delayText()->text(), text);
        EXPECT_EQ(settings().sleepDelay, seconds);
        EXPECT_EQ(stored("SleepModeDelay"), std::to_string(seconds));
        sent("s" + std::string(seconds ? "9999" : "0000"));
    }
    sleep.setValue(35);
    EXPECT_EQ(dlg.delayText()->text(), "17 min 30 sec ");
    EXPECT_EQ(stored("SleepModeDelay"), "1050");
    // Dragged: sent while moving, kept once let go.
    sleep.setSliderDown(true);
    sleep.setValue(10);
    EXPECT_EQ(settings().sleepDelay, 30u);
    sent("s0030");
    sleep.setSliderDown(false);
    EXPECT_EQ(stored("SleepModeDelay"), "30");

    QTest::keyClick(&brightness, Qt::Key_End);
    QTest::keyClick(&brightness, Qt::Key_End);
    EXPECT_EQ(settings().brightness, 100u) << "brightness 100 stays 100";
    EXPECT_EQ(stored("Brightness"), "100");
    sent("b100");
    clickBox(*dlg.autoBrightnessBox());
    EXPECT_TRUE(settings().autoBrightness);
    EXPECT_EQ(stored("AutoBrightness"), "true");
    sent("b100A");
    QTest::keyClick(&brightness, Qt::Key_PageDown);
    EXPECT_EQ(settings().brightness, 90u);
    sent("b090A");
    ASSERT_TRUE(dlg.virtualDriveBox()->isChecked());
    dlg.virtualDriveBox()->setFocus();
    QTest::keyClick(dlg.virtualDriveBox(), Qt::Key_Space);
    EXPECT_FALSE(settings().showVirtualDrive);
    EXPECT_EQ(stored("ShowVirtualDrive"), "false");
    EXPECT_EQ(stored("Brightness"), "90");
    EXPECT_FALSE(dlg.errorText()->isVisible());

    // Opened again, the dialog shows what is in force.
    CKVKeyboardPropertiesDlg again(s, &window());
    EXPECT_EQ(again.sleepSlider()->value(), 10);
    EXPECT_EQ(again.delayText()->text(), "30 sec ");

    // A folder where the settings file belongs: nothing can be written in its place.
    const std::string file = KVStoreFolders().profileFolder() + "/Device.plist";
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);
    QTest::keyClick(&brightness, Qt::Key_Home);
    EXPECT_EQ(settings().brightness, 0u);
    sent("b000A");
    EXPECT_TRUE(dlg.errorText()->isVisible());
    EXPECT_TRUE(dlg.errorText()->text().contains("could not be saved"))
        << dlg.errorText()->text().toStdString();
}

TEST_F(DialogsTest, AFailedDownloadIsSaidInWordsAndAFoundFirmwareIsWrittenToTheKeyboard) {
    startWith("TavirexV0.60b");
    KVEditorServices s = services();
    CKVUpdateDlg dlg(s, &window());
    dlg.show();
    ASSERT_TRUE(eventually([&] { return idle(); }));
    settle();
    EXPECT_EQ(dlg.currentFirmwareText()->text(), "0.60b");
    EXPECT_EQ(dlg.availableFirmwareText()->text(), "0.76b");
    EXPECT_TRUE(dlg.updateButton()->isEnabled());
    EXPECT_EQ(dlg.availableConfiguratorText()->text(), "99.0.0");
    EXPECT_EQ(dlg.currentConfiguratorText()->text().toStdString(), s.updates.ownVersion());
    EXPECT_TRUE(dlg.installButton()->isEnabled());
    saveScreenshots(dlg, "updates-firmware");
    dlg.tabs()->setCurrentIndex(1);
    saveScreenshots(dlg, "updates-configurator");
    dlg.tabs()->setCurrentIndex(0);

    // "Advanced" swaps the latest version for the list of every published one.
    clickBox(*dlg.advancedBox());
    EXPECT_TRUE(dlg.versionList()->isVisibleTo(&dlg));
    EXPECT_FALSE(dlg.availableFirmwareText()->isVisibleTo(&dlg));
    ASSERT_EQ(dlg.versionList()->count(), 2);
    EXPECT_EQ(dlg.versionList()->itemText(1), "0.70a");
    saveScreenshots(dlg, "updates-advanced");

    // A published version whose image is missing on the server.
    dlg.versionList()->setCurrentIndex(1);
    dlg.updateButton()->click();
    ASSERT_TRUE(eventually([&] { return idle(); }));
    const std::string failed = dlg.statusText()->text().toStdString();
    EXPECT_EQ(failed.rfind("The firmware was not updated: download failed", 0), 0u) << failed;
    EXPECT_FALSE(std::filesystem::exists(keyboard / "vTavirex/upgrade.bin"));
    EXPECT_EQ(dlg.versionList()->currentIndex(), 1) << "a refresh keeps the chosen version";
    saveScreenshots(dlg, "updates-failed");
    clickBox(*dlg.advancedBox());
    EXPECT_TRUE(dlg.availableFirmwareText()->isVisibleTo(&dlg));

    ProgressWatch watch(s.dispatch, dlg);
    QTest::mouseClick(dlg.updateButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg.updateButton()->isEnabled()) << "not twice at once";
    EXPECT_FALSE(dlg.installButton()->isEnabled());
    ASSERT_TRUE(eventually([&] { return idle(); }));
    ASSERT_FALSE(watch.statuses.empty());
    EXPECT_EQ(watch.statuses.front().rfind("Downloaded: ", 0), 0u) << watch.statuses.front();
    EXPECT_GT(watch.largest, 0);
    EXPECT_FALSE(dlg.progressBar()->isVisibleTo(&dlg));
    EXPECT_TRUE(dlg.statusText()->text().contains("written to the keyboard"))
        << dlg.statusText()->text().toStdString();
    EXPECT_TRUE(eventually([&] { return readFile(keyboard / "vTavirex/upgrade.bin") == firmwareImage(); }));
}

TEST_F(DialogsTest, WithoutKeyboardOrListsTheUpdateTextsSayWhatIsMissing) {
    startWith("", "missing");
    KVEditorServices s = services();
    CKVUpdateDlg dlg(s, &window());
    ASSERT_TRUE(eventually([&] { return idle(); }));
    EXPECT_EQ(dlg.currentFirmwareText()->text(), "[Device not connected]");
    EXPECT_EQ(dlg.availableFirmwareText()->text(), "[Data not avaliable]");
    EXPECT_EQ(dlg.availableConfiguratorText()->text(), "[Data not avaliable]");
    EXPECT_FALSE(dlg.updateButton()->isEnabled());
    EXPECT_FALSE(dlg.installButton()->isEnabled());
    const std::string status = dlg.statusText()->text().toStdString();
    EXPECT_EQ(status.rfind("Cannot check for updates: download failed", 0), 0u) << status;
}
