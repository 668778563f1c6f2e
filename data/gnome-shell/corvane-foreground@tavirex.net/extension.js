/* Reports the focused window's program and the input source in use to the Corvane configurator over
 * D-Bus: on Wayland no other client may learn them. */
const { Gio, GLib } = imports.gi;
const Main = imports.ui.main;
const Keyboard = imports.ui.status.keyboard;

const SERVICE = 'net.tavirex.Corvane';
const PATH = '/net/tavirex/Corvane/Foreground';
const IFACE = 'net.tavirex.Corvane.Foreground';

class Extension {
    enable() {
        this._focusId = global.display.connect('notify::focus-window', () => this._reportFocus());
        this._sources = Keyboard.getInputSourceManager();
        this._sourceIds = [
            this._sources.connect('current-source-changed', () => this._reportLayouts()),
            this._sources.connect('sources-changed', () => this._reportLayouts()),
        ];
        // The configurator may start after the shell; it is told again when it appears on the bus.
        this._watchId = Gio.bus_watch_name(Gio.BusType.SESSION, SERVICE, Gio.BusNameWatcherFlags.NONE,
            () => { this._reportFocus(); this._reportLayouts(); }, null);
    }

    disable() {
        global.display.disconnect(this._focusId);
        this._sourceIds.forEach(id => this._sources.disconnect(id));
        Gio.bus_unwatch_name(this._watchId);
        this._sources = null;
    }

    _call(method, parameters) {
        Gio.DBus.session.call(SERVICE, PATH, IFACE, method, parameters, null, Gio.DBusCallFlags.NO_AUTO_START,
            -1, null, null);
    }

    _reportFocus() {
        const window = global.display.focus_window;
        if (!window)
            return;
        const app = imports.gi.Shell.WindowTracker.get_default().get_window_app(window);
        const appId = app && app.get_id() ? app.get_id().replace(/\.desktop$/, '') : '';
        this._call('WindowActivated', new GLib.Variant('(uss)',
            [window.get_pid() > 0 ? window.get_pid() : 0, window.get_wm_class() || '', appId]));
    }

    _reportLayouts() {
        // Input sources of type "xkb" name an XKB layout as "de+nodeadkeys"; others (input methods)
        // keep their place with their own id.
        const sources = Object.values(this._sources.inputSources).sort((a, b) => a.index - b.index);
        const names = sources.map(s => s.type === 'xkb' ? s.id.replace(/\+(.*)$/, '($1)') : s.id);
        const current = this._sources.currentSource ? this._sources.currentSource.index : 0;
        this._call('LayoutsChanged', new GLib.Variant('(asu)', [names, current]));
    }
}

function init() {
    return new Extension();
}
