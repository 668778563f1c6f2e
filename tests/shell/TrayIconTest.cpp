#include "shell/TrayIcon.h"

#include "FakeEditor.h"
#include "core/MessageDispatch.h"
#include "support/ManualLoop.h"
#include "support/TempDir.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct TrayIconTest : ::testing::Test {
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    FakeEditor editor;
    TempDir home;
    std::vector<std::string> opened;
    int exits = 0;
    KVSupportVersions versions{"", "0.1.0"};
    std::unique_ptr<KVTrayIcon> tray;

    void SetUp() override {
        // Stands in for the main controller's handler.
        dispatch.RegisterHandler<KVM_SHOW_EDITOR>(this, &TrayIconTest::showEditor);
        tray = makeTray({"https://example.org/about", "https://example.org/forum", "help@example.org"});
    }

    std::unique_ptr<KVTrayIcon> makeTray(KVTrayLinks links) {
        KVTrayServices services;
        services.exit = [this] { ++exits; };
        services.versions = [this] { return versions; };
        services.openUrl = [this](const std::string& url) {
            opened.push_back(url);
            return true;
        };
        services.iconFolder = std::string(CORVANE_SOURCE_DIR) + "/data/desktop/icons";
        services.autostart = KVAutostart(home / "config/autostart", {home / "etc/autostart"});
        auto made =
            std::make_unique<KVTrayIcon>(dispatch, &editor, std::move(links), std::move(services), false);
        made->Show();
        return made;
    }

    void showEditor() { editor.ShowEditor(); }
    void choose(KVTrayIcon::Command command) { tray->action(command)->trigger(); }
};

TEST_F(TrayIconTest, MenuHasTheEntriesInOrderAndConfigureFollowsTheEditor) {
    QStringList texts;
    for (QAction* action : tray->menu().actions())
        texts << (action->isSeparator() ? QString("-") : action->text());
    EXPECT_EQ(texts, QStringList({"Configure...", "-", "About Configurator...", "Discussion forum...",
                                  "Contact support...", "-", "Start with the session", "Exit"}));

    QAction* configure = tray->action(KVTrayIcon::Configure);
    EXPECT_EQ(tray->menu().defaultAction(), configure);
    EXPECT_TRUE(configure->isEnabled());

    // A left click opens the editor; the menu then greys "Configure..." when it is opened.
    dispatch.send<KVM_TRAY_CALLBACK>(0, KVTrayIcon::kLeftButtonDown);
    EXPECT_EQ(editor.shown, 1);
    dispatch.send<KVM_TRAY_CALLBACK>(0, KVTrayIcon::kRightButtonDown);
    EXPECT_FALSE(configure->isEnabled());
    EXPECT_EQ(tray->menu().defaultAction(), configure);
    // A left click still brings the open editor forward.
    dispatch.send<KVM_TRAY_CALLBACK>(0, KVTrayIcon::kLeftButtonDown);
    EXPECT_EQ(editor.shown, 2);

    editor.CloseEditor();
    emit tray->menu().aboutToShow(); // the tray host opened the menu on its own
    EXPECT_TRUE(configure->isEnabled());
    choose(KVTrayIcon::Configure);
    EXPECT_EQ(editor.shown, 3);
}

TEST_F(TrayIconTest, WebPagesAndSupportMail) {
    choose(KVTrayIcon::About);
    choose(KVTrayIcon::Forum);
    choose(KVTrayIcon::ContactSupport);
    versions.firmware = "TavirexV0.76b";
    choose(KVTrayIcon::ContactSupport);
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], "https://example.org/about");
    EXPECT_EQ(opened[1], "https://example.org/forum");
    const std::string start =
        "mailto:help@example.org?subject=Problem with Tavirex Corvane&body=Dear Support "
        "Team,%0D%0A%0D%0A%0D%0ASystem info: %0D%0A";
    EXPECT_EQ(opened[2], start + "Device not connected%0D%0AConfigurator version 0.1.0");
    EXPECT_EQ(opened[3], start + "Firmware version TavirexV0.76b%0D%0AConfigurator version 0.1.0");

    // Nothing is opened for an address that is not configured.
    tray = makeTray({});
    opened.clear();
    choose(KVTrayIcon::About);
    choose(KVTrayIcon::ContactSupport);
    EXPECT_TRUE(opened.empty());
}

TEST(SupportMail, VersionTextsCannotBreakTheLink) {
    const std::string link = supportMailLink("a@b.c", {"V1&body=x #2", "1.0 beta"});
    EXPECT_NE(link.find("Firmware version V1%26body%3Dx%20%232%0D%0A"), std::string::npos) << link;
    EXPECT_TRUE(link.ends_with("Configurator version 1.0%20beta")) << link;
}

TEST_F(TrayIconTest, IconFollowsTheKeyboardAndExitTakesTheOrderlyPath) {
    EXPECT_FALSE(tray->showsConnected());
    EXPECT_FALSE(tray->trayIcon().icon().isNull()) << "the status icons did not load";
    dispatch.send<KVM_DEVICE_STATE>(0);
    EXPECT_TRUE(tray->showsConnected());
    dispatch.send<KVM_TRAY_RECREATED>();
    EXPECT_TRUE(tray->showsConnected());
    EXPECT_TRUE(tray->trayIcon().isVisible());
    dispatch.send<KVM_DEVICE_STATE>(1);
    EXPECT_FALSE(tray->showsConnected());

    choose(KVTrayIcon::Exit);
    EXPECT_EQ(exits, 1);
    dispatch.Destroy();
    EXPECT_FALSE(tray->trayIcon().isVisible());
}

TEST_F(TrayIconTest, StartWithTheSessionWritesTheUsersOwnEntry) {
    const std::string user = home / "config/autostart/corvane-configurator.desktop";
    QAction* option = tray->action(KVTrayIcon::StartWithSession);
    EXPECT_FALSE(option->isChecked());
    choose(KVTrayIcon::StartWithSession);
    EXPECT_TRUE(option->isChecked());
    EXPECT_NE(readWholeFile(user).find("Exec=corvane-configurator -minimized"), std::string::npos);
    choose(KVTrayIcon::StartWithSession);
    EXPECT_FALSE(option->isChecked());
    EXPECT_FALSE(std::filesystem::exists(user));

    // With the system's entry installed, turning it off hides that entry for this user only.
    home.write("etc/autostart/corvane-configurator.desktop",
               "[Desktop Entry]\nExec=corvane-configurator -minimized\n");
    emit tray->menu().aboutToShow();
    EXPECT_TRUE(option->isChecked());
    choose(KVTrayIcon::StartWithSession);
    EXPECT_FALSE(option->isChecked());
    EXPECT_NE(readWholeFile(user).find("Hidden=true"), std::string::npos);
    choose(KVTrayIcon::StartWithSession);
    EXPECT_TRUE(option->isChecked());
    EXPECT_FALSE(std::filesystem::exists(user));
    EXPECT_TRUE(std::filesystem::exists(home / "etc/autostart/corvane-configurator.desktop"));
}

TEST(TrayLinks, ReadFromTheProgramFolder) {
    const KVTrayLinks shipped = KVTrayLinks::load(std::string(CORVANE_SOURCE_DIR) + "/data/desktop");
    EXPECT_TRUE(shipped.aboutPage.starts_with("https://"));
    EXPECT_TRUE(shipped.forumPage.starts_with("https://"));
    EXPECT_NE(shipped.supportAddress.find('@'), std::string::npos);
    TempDir empty;
    EXPECT_TRUE(KVTrayLinks::load(empty.path().string()).aboutPage.empty());
}

} // namespace
