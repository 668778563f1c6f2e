#include "shell/CfgApp.h"

#include "core/Log.h"
#include "core/MainLoop.h"
#include "core/MessageDispatch.h"
#include "device/TavirexCorvane.h"
#include "devicectl/Device.h"
#include "hook/SystemHook.h"
#include "shell/MainController.h"
#include "shell/TrayIcon.h"
#include "store/StoreFolders.h"

CKVCfgApp::CKVCfgApp(KVMainLoop& loop, CKVCommandLineInfo commandLine, HookFactory makeHook,
                     IKVEditorHost* editor, std::string instanceFolder,
                     KVSingleInstance::Timing instanceTiming)
    : m_loop(loop), m_commandLine(std::move(commandLine)), m_makeHook(std::move(makeHook)), m_editor(editor),
      m_instanceFolder(std::move(instanceFolder)), m_instanceTiming(instanceTiming) {}

CKVCfgApp::~CKVCfgApp() {
    m_services.destroyAll();
}

CKVMessageDispatch* CKVCfgApp::dispatch() const {
    return m_services.find<CKVMessageDispatch>();
}

KVMainController* CKVCfgApp::mainController() const {
    return m_services.find<KVMainController>();
}

bool CKVCfgApp::InitInstance() {
    if (!m_instanceFolder.empty()) {
        m_instance = std::make_unique<KVSingleInstance>(m_instanceFolder, m_instanceTiming);
        switch (m_instance->check(m_commandLine)) {
        case KVSingleInstance::Outcome::First:
            break;
        case KVSingleInstance::Outcome::HandedOver:
            if (m_commandLine.updateCommand) {
                corvane::logger("shell").error(
                    "another configurator is running and owns the keyboard; end it first to run "
                    "an update command");
                m_exitCode = 1;
            } else {
                corvane::logger("shell").info("another configurator is running; handed the request to it");
            }
            m_instance.reset();
            return false;
        case KVSingleInstance::Outcome::RestartTimedOut:
        case KVSingleInstance::Outcome::Failed:
            m_instance.reset();
            m_exitCode = 1;
            return false;
        }
    }

    // The dispatch comes first: every later service registers its handlers with it. The loop ends when
    // it is destroyed.
    auto& dispatch = m_services.get<CKVMessageDispatch>(m_loop);
    dispatch.SetDestroyedCallback([this] { m_loop.quit(m_exitCode); });
    auto& hook = m_services.add<IKVSystemHook>(m_makeHook(m_loop));
    hook.Hook(dispatch);
    if (m_instance)
        m_instance->serve(m_loop, dispatch);

    KVKeyboardOptions keyboard;
    keyboard.virtualKeyboard = m_commandLine.virtualKeyboard;
    keyboard.watchSession = m_watchSession;
    auto& controller = m_services.get<KVMainController>(m_services, m_loop, dispatch, hook, m_editor,
                                                        keyboard, m_updateDesktop);
    controller.LoadAndStart();
    if (m_instance)
        m_instance->setControlHandler(
            [&controller](std::string_view request, KVSingleInstance::ControlWriter write) {
                controller.HandleControlRequest(request, std::move(write));
            });
    if (m_withTray)
        createTray(dispatch, controller);

    if (!m_commandLine.minimized)
        dispatch.send<KVM_SHOW_EDITOR>();
    if (!m_commandLine.layersFile.empty())
        dispatch.send<KVM_OPEN_LAYERS_FILE>(m_commandLine.layersFile.c_str());

    if (m_commandLine.updateCommand)
        m_loop.post(
            [&controller, command = *m_commandLine.updateCommand] { controller.RunUpdateCommand(command); });

    m_initialised = true;
    corvane::logger("shell").info("configurator running");
    return true;
}

void CKVCfgApp::enableTray(std::string ownVersion) {
    m_withTray = true;
    m_ownVersion = std::move(ownVersion);
}

void CKVCfgApp::createTray(CKVMessageDispatch& dispatch, KVMainController& controller) {
    const std::string programFolder = m_services.get<KVStoreFolders>().programFolder();
    KVTrayServices services;
    services.exit = [&controller] { controller.Exit(); };
    services.versions = [this, &controller] {
        // The firmware of the keyboard that is connected now; none when it has gone.
        const KVDevice& device = controller.device();
        return KVSupportVersions{device.IsKeyboardOpen() ? device.Keyboard().VersionText() : std::string(),
                                 m_ownVersion};
    };
    // The program folder is <prefix>/lib/corvane, in the build tree too; the icons are in the theme beside
    // it.
    services.iconFolder = programFolder + "/../../share/icons/hicolor/scalable/status";
    auto& tray = m_services.get<KVTrayIcon>(dispatch, m_editor, KVTrayLinks::load(programFolder),
                                            std::move(services), controller.device().IsKeyboardOpen());
    tray.Show();
}

int CKVCfgApp::ExitInstance() {
    if (m_initialised) {
        corvane::logger("shell").info("shutting down");
        if (auto* controller = mainController())
            controller->Shutdown();
        if (auto* hook = m_services.find<IKVSystemHook>())
            hook->UnHook();
        // Workers may still be sending; from here their sends are refused instead of waiting for a loop
        // that no longer runs.
        m_loop.refuseSends();
        m_services.destroyAll();
        // The lock goes last: a restarting instance carries on only once this one has finished.
        m_instance.reset();
        m_initialised = false;
        corvane::logger("shell").info("shut down");
    }
    return m_exitCode;
}

int CKVCfgApp::Run() {
    if (!InitInstance())
        return ExitInstance();
    m_exitCode = m_loop.run();
    return ExitInstance();
}
