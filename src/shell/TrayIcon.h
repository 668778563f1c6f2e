#pragma once

#include "shell/Autostart.h"
#include "shell/SupportMail.h"
#include "shell/TrayLinks.h"

#include <QIcon>
#include <functional>
#include <memory>
#include <string>

class CKVMessageDispatch;
class IKVEditorHost;
class QAction;
class QDBusServiceWatcher;
class QMenu;
class QObject;
class QSystemTrayIcon;

// What the tray reaches beyond itself.
struct KVTrayServices {
    // The orderly way out, the same as on SIGTERM.
    std::function<void()> exit;
    // Filled when "Contact support..." is chosen.
    std::function<KVSupportVersions()> versions;
    // Hands a web or mailto address to the desktop; the default is QDesktopServices.
    std::function<bool(const std::string& url)> openUrl;
    // The folder that holds the two status icons when they are not installed in the icon theme.
    std::string iconFolder;
    KVAutostart autostart = KVAutostart::fromEnvironment();
};

// The notification-area icon and its menu: the user's way back into the editor and out of the program.
// Its clicks and menu entries travel through the dispatch as KVM_TRAY_CALLBACK and KVM_COMMAND, so that
// a request reaches the same handlers whichever way it came in.
class KVTrayIcon {
public:
    enum Command : unsigned {
        Exit = 32774,
        Configure = 32775,
        About = 32776,
        Forum = 32789,
        ContactSupport = 32793,
        StartWithSession = 32794,
    };
    // The mouse messages that KVM_TRAY_CALLBACK carries.
    static constexpr int kLeftButtonDown = 0x0201;
    static constexpr int kRightButtonDown = 0x0204;
    static constexpr const char* kTooltip = "Tavirex Corvane Configurator";
    static constexpr const char* kConnectedIcon = "corvane-configurator-connected";
    static constexpr const char* kDisconnectedIcon = "corvane-configurator-disconnected";

    KVTrayIcon(CKVMessageDispatch& dispatch, IKVEditorHost* editor, KVTrayLinks links,
               KVTrayServices services, bool keyboardOpen);
    ~KVTrayIcon();
    KVTrayIcon(const KVTrayIcon&) = delete;
    KVTrayIcon& operator=(const KVTrayIcon&) = delete;

    // Adds the icon to the notification area. Without one, says once how the editor is still reached.
    void Show();

    void OnDestroy();
    void OnTrayCallback(unsigned id, int mouseMessage);
    void OnDeviceState(unsigned state);
    void OnCommand(unsigned command);
    // The notification area came back (its host restarted): the icon is added again.
    void OnTrayRecreated();

    QMenu& menu() { return *m_menu; }
    QSystemTrayIcon& trayIcon() { return *m_icon; }
    bool showsConnected() const { return m_connected; }
    QAction* action(Command command) const;

private:
    void buildMenu();
    void refreshMenu();
    void setStatusIcon(bool connected);
    void open(const std::string& url, const char* what);
    void watchTrayHost();

    CKVMessageDispatch& m_dispatch;
    IKVEditorHost* m_editor;
    KVTrayLinks m_links;
    KVTrayServices m_services;
    bool m_connected;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<QDBusServiceWatcher> m_hostWatcher;
};
