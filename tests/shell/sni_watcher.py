"""A notification-area host for the tray's tests: a StatusNotifierWatcher that says a host is there
and records each item that registers (python3 -m dbusmock -t sni_watcher.py -l LOG)."""

import dbus

BUS_NAME = "org.kde.StatusNotifierWatcher"
MAIN_OBJ = "/StatusNotifierWatcher"
MAIN_IFACE = "org.kde.StatusNotifierWatcher"
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddMethods(MAIN_IFACE, [
        ("RegisterStatusNotifierItem", "s", "", ""),
        ("RegisterStatusNotifierHost", "s", "", ""),
    ])
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        "IsStatusNotifierHostRegistered": dbus.Boolean(True),
        "ProtocolVersion": dbus.Int32(0),
        "RegisteredStatusNotifierItems": dbus.Array([], signature="s"),
    }, signature="sv"))
