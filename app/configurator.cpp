// The resident configurator: owns the keyboard, follows the session, opens the editor on demand.

#include "core/Log.h"
#include "editor/EditorWindowHost.h"
#include "hook/SessionHook.h"
#include "shell/CfgApp.h"
#include "shell/MainController.h"
#include "shell/QtMainLoop.h"
#include "shell/SignalWatcher.h"
#include "store/StoreFolders.h"
#include "update/UpdateDesktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// With a display, the user is asked in a message box and pages open in the browser.
class KVWindowedUpdateDesktop final : public KVUpdateDesktop {
public:
    bool AskOutdatedFirmware(const std::string& text, const std::string& instructionsPage) override {
        KVUpdateDesktop::AskOutdatedFirmware(text, instructionsPage);
        return QMessageBox::warning(nullptr, "Tavirex Corvane Configurator", QString::fromStdString(text),
                                    QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }
    void OpenPage(const std::string& address) override {
        if (address.empty() || !QDesktopServices::openUrl(QUrl(QString::fromStdString(address))))
            KVUpdateDesktop::OpenPage(address);
    }
};

} // namespace

int main(int argc, char** argv) {
    // Before any thread exists, so that only the loop thread sees termination signals.
    KVSignalWatcher::blockTerminationSignals();
    corvane::initLogging();

    CKVCommandLineInfo commandLine = CKVCommandLineInfo::parse(argc, argv);
    if (commandLine.help) {
        std::fputs(CKVCommandLineInfo::usage(argv[0]).c_str(), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("corvane-configurator %s\n", CORVANE_VERSION);
        return 0;
    }
    if (!commandLine.errors.empty()) {
        for (const auto& error : commandLine.errors)
            std::fprintf(stderr, "corvane-configurator: %s\n", error.c_str());
        std::fprintf(stderr, "Try '%s --help'.\n", argv[0]);
        return 2;
    }

    bool headless = commandLine.headless;
    if (!headless && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        spdlog::warn("no display found: running headless, without tray icon and editor");
        headless = true;
    }
    std::unique_ptr<QCoreApplication> qt;
    if (headless) {
        qt = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        auto widgets = std::make_unique<QApplication>(argc, argv);
        widgets->setQuitOnLastWindowClosed(false); // closing the editor does not end the program
        qt = std::move(widgets);
    }
    QCoreApplication::setApplicationName("corvane-configurator");
    QCoreApplication::setApplicationVersion(CORVANE_VERSION);

    // The single-instance lock lives in the private temporary folder.
    KVStoreFolders folders;
    const std::string instanceFolder = folders.temporaryFolder();
    if (instanceFolder.empty()) {
        spdlog::critical("no private temporary folder: cannot make sure this is the only configurator");
        return 1;
    }

    KVQtMainLoop loop(*qt);
    KVWindowedUpdateDesktop windowedDesktop; // outlives the services that ask through it
    CKVCfgApp app(
        loop, commandLine, [](KVMainLoop& l) { return std::make_shared<KVSessionHook>(l); }, nullptr,
        instanceFolder);
    std::unique_ptr<KVEditorWindowHost> editor;
    if (!headless) {
        editor = std::make_unique<KVEditorWindowHost>(app.services());
        app.setEditor(editor.get());
        app.setUpdateDesktop(&windowedDesktop);
        app.enableTray(CORVANE_VERSION);
    }
    KVSignalWatcher terminationSignals(loop, [&](int) {
        if (auto* controller = app.mainController())
            controller->Exit();
        else
            loop.quit(0);
    });
    return app.Run();
}
