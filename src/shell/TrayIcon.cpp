#include "shell/TrayIcon.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "shell/EditorHost.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDesktopServices>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QUrl>

namespace {

// Desktops that speak StatusNotifierItem announce their tray host under this name; it appears anew
// whenever the panel restarts.
constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";

bool openWithDesktop(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::TolerantMode));
}

} // namespace

KVTrayIcon::KVTrayIcon(CKVMessageDispatch& dispatch, IKVEditorHost* editor, KVTrayLinks links,
                       KVTrayServices services, bool keyboardOpen)
    : m_dispatch(dispatch), m_editor(editor), m_links(std::move(links)), m_services(std::move(services)),
      m_connected(keyboardOpen), m_context(std::make_unique<QObject>()), m_menu(std::make_unique<QMenu>()),
      m_icon(std::make_unique<QSystemTrayIcon>()) {
    if (!m_services.openUrl)
        m_services.openUrl = openWithDesktop;
    buildMenu();
    m_icon->setToolTip(kTooltip);
    m_icon->setContextMenu(m_menu.get());
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_context.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger)
                             m_dispatch.send<KVM_TRAY_CALLBACK>(0, kLeftButtonDown);
                         else if (reason == QSystemTrayIcon::Context)
                             m_dispatch.send<KVM_TRAY_CALLBACK>(0, kRightButtonDown);
                     });
    // The menu may be opened by the tray host without a click reaching us: its rules are applied
    // whenever it is about to show.
    QObject::connect(m_menu.get(), &QMenu::aboutToShow, m_context.get(), [this] { refreshMenu(); });

    m_dispatch.RegisterHandler<KVM_DESTROY>(this, &KVTrayIcon::OnDestroy);
    m_dispatch.RegisterHandler<KVM_TRAY_CALLBACK>(this, &KVTrayIcon::OnTrayCallback);
    m_dispatch.RegisterHandler<KVM_DEVICE_STATE>(this, &KVTrayIcon::OnDeviceState);
    m_dispatch.RegisterHandler<KVM_COMMAND>(this, &KVTrayIcon::OnCommand);
    m_dispatch.RegisterHandler<KVM_TRAY_RECREATED>(this, &KVTrayIcon::OnTrayRecreated);
}

KVTrayIcon::~KVTrayIcon() {
    m_dispatch.UnregisterHandlers(this);
    m_icon->hide();
}

void KVTrayIcon::buildMenu() {
    auto add = [this](const char* text, Command command) {
        QAction* action = m_menu->addAction(QString::fromUtf8(text));
        action->setData(unsigned(command));
        QObject::connect(action, &QAction::triggered, m_context.get(),
                         [this, command] { m_dispatch.send<KVM_COMMAND>(command); });
        return action;
    };
    add("Configure...", Configure);
    m_menu->addSeparator();
    add("About Configurator...", About);
    add("Discussion forum...", Forum);
    add("Contact support...", ContactSupport);
    m_menu->addSeparator();
    add("Start with the session", StartWithSession)->setCheckable(true);
    add("Exit", Exit);
    refreshMenu();
}

QAction* KVTrayIcon::action(Command command) const {
    for (QAction* action : m_menu->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == command)
            return action;
    }
    return nullptr;
}

void KVTrayIcon::refreshMenu() {
    QAction* configure = action(Configure);
    m_menu->setDefaultAction(configure);
    configure->setEnabled(!(m_editor && m_editor->HasEditor()));
    action(StartWithSession)->setChecked(m_services.autostart.enabled());
}

void KVTrayIcon::Show() {
    setStatusIcon(m_connected);
    m_icon->show();
    watchTrayHost();
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        corvane::logger("shell").warn(
            "this desktop shows no tray icons; start corvane-configurator again, or use its desktop "
            "entry's \"Configure\" action, to open the editor");
}

void KVTrayIcon::watchTrayHost() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_hostWatcher = std::make_unique<QDBusServiceWatcher>(kWatcherService, bus,
                                                          QDBusServiceWatcher::WatchForRegistration);
    QObject::connect(m_hostWatcher.get(), &QDBusServiceWatcher::serviceRegistered, m_context.get(),
                     [this] { m_dispatch.post<KVM_TRAY_RECREATED>(); });
}

void KVTrayIcon::setStatusIcon(bool connected) {
    m_connected = connected;
    const char* name = connected ? kConnectedIcon : kDisconnectedIcon;
    QIcon bundled(QString::fromStdString(m_services.iconFolder + "/" + name + ".svg"));
    m_icon->setIcon(QIcon::fromTheme(QString::fromUtf8(name), bundled));
}

void KVTrayIcon::OnDestroy() {
    m_icon->hide();
}

void KVTrayIcon::OnTrayCallback(unsigned, int mouseMessage) {
    if (mouseMessage == kRightButtonDown)
        refreshMenu();
    else if (mouseMessage == kLeftButtonDown)
        m_dispatch.send<KVM_SHOW_EDITOR>();
}

void KVTrayIcon::OnDeviceState(unsigned state) {
    setStatusIcon(state == 0);
}

void KVTrayIcon::OnTrayRecreated() {
    // Hiding unregisters the item and showing registers it with the new host.
    corvane::logger("shell").info("the notification area came back; adding the tray icon again");
    m_icon->hide();
    setStatusIcon(m_connected);
    m_icon->show();
}

void KVTrayIcon::open(const std::string& url, const char* what) {
    if (url.empty()) {
        corvane::logger("shell").error("no address for the {} is configured in {}", what,
                                       KVTrayLinks::kFileName);
        return;
    }
    if (!m_services.openUrl(url))
        corvane::logger("shell").warn("the desktop could not open {}", url);
}

void KVTrayIcon::OnCommand(unsigned command) {
    switch (command) {
    case Exit:
        if (m_services.exit)
            m_services.exit();
        break;
    case Configure:
        m_dispatch.send<KVM_SHOW_EDITOR>();
        break;
    case About:
        open(m_links.aboutPage, "product page");
        break;
    case Forum:
        open(m_links.forumPage, "discussion forum");
        break;
    case ContactSupport:
        if (m_links.supportAddress.empty()) {
            open({}, "support mail");
            break;
        }
        open(supportMailLink(m_links.supportAddress,
                             m_services.versions ? m_services.versions() : KVSupportVersions{}),
             "support mail");
        break;
    case StartWithSession: {
        const bool wanted = !m_services.autostart.enabled();
        if (!m_services.autostart.setEnabled(wanted))
            corvane::logger("shell").error("\"Start with the session\" could not be changed");
        refreshMenu();
        break;
    }
    default:
        break;
    }
}
