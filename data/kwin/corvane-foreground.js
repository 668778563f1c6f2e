// Loaded by the Corvane configurator through KWin's scripting interface: tells it which program owns
// the active window, since a Wayland client cannot ask the compositor itself.
const service = "net.tavirex.Corvane";
const path = "/net/tavirex/Corvane/Foreground";
const iface = "net.tavirex.Corvane.Foreground";

function report(window) {
    if (!window)
        return;
    callDBus(service, path, iface, "WindowActivated", window.pid || 0,
             String(window.resourceClass || ""), String(window.desktopFileName || ""));
}

// Plasma 6 names windows "windows"; Plasma 5 named them "clients".
if (workspace.windowActivated) {
    workspace.windowActivated.connect(report);
    report(workspace.activeWindow);
} else {
    workspace.clientActivated.connect(report);
    report(workspace.activeClient);
}
