#pragma once

#include "core/ServiceRegistry.h"
#include "shell/CommandLine.h"
#include "shell/SingleInstance.h"

#include <functional>
#include <memory>

class CKVMessageDispatch;
class IKVEditorHost;
class KVMainController;
class KVMainLoop;
class IKVSystemHook;
class KVUpdateDesktop;

// The configurator process: start-up in its fixed steps, the loop that runs until the dispatch is
// destroyed, and the orderly shutdown.
class CKVCfgApp {
public:
    using HookFactory = std::function<std::shared_ptr<IKVSystemHook>(KVMainLoop&)>;

    // `editor` may be null (headless). `instanceFolder` is the private folder of the single-instance lock;
    // empty to skip the check.
    CKVCfgApp(KVMainLoop& loop, CKVCommandLineInfo commandLine, HookFactory makeHook, IKVEditorHost* editor,
              std::string instanceFolder = {}, KVInstanceTiming instanceTiming = {});
    ~CKVCfgApp();

    // True to run the loop, false to end the process at once.
    bool InitInstance();
    // The shutdown steps, when start-up completed; then every service, newest first. Returns the exit code.
    int ExitInstance();
    // InitInstance, the loop, ExitInstance.
    int Run();

    // Tests run without logind.
    void setWatchSession(bool watch) { m_watchSession = watch; }
    // The editor window's host, when it can only be made after the application (it reads the services).
    void setEditor(IKVEditorHost* editor) { m_editor = editor; }
    // Asks the user about updates in windows; the log is used without it.
    void setUpdateDesktop(KVUpdateDesktop* desktop) { m_updateDesktop = desktop; }
    // Start-up adds the tray icon (needs a QApplication); `ownVersion` is the version a support mail names.
    void enableTray(std::string ownVersion);

    bool initialised() const { return m_initialised; }
    CKVMessageDispatch* dispatch() const;
    KVMainController* mainController() const;
    KVServiceRegistry& services() { return m_services; }

private:
    void createTray(CKVMessageDispatch& dispatch, KVMainController& controller);

    KVMainLoop& m_loop;
    CKVCommandLineInfo m_commandLine;
    HookFactory m_makeHook;
    IKVEditorHost* m_editor;
    std::string m_instanceFolder;
    KVSingleInstance::Timing m_instanceTiming;
    std::unique_ptr<KVSingleInstance> m_instance;
    KVServiceRegistry m_services;
    bool m_watchSession = true;
    KVUpdateDesktop* m_updateDesktop = nullptr;
    bool m_withTray = false;
    std::string m_ownVersion;
    bool m_initialised = false;
    int m_exitCode = 0;
};
