// What the extension does, the same on every GNOME Shell: each focus change
// goes to the kestrine-config agent's object on the session bus (and to the
// rules dialog's while it waits for a window to be picked), and so does the
// window in front whenever one of them comes onto the bus. The two
// extension.js forms (GNOME 43-44's and 45's) wrap this body; the build puts
// it in place of the line that names it.
const SERVICES = [
    'io.github.kestrine.config.ActiveWindow',
    'io.github.kestrine.config.ActiveWindow.Pick',
];
const PATH = '/io/github/kestrine/config/ActiveWindow';
const INTERFACE = 'io.github.kestrine.config.ActiveWindow';

class ActiveWindowReporter {
    enable() {
        this._focusHandler = global.display.connect('notify::focus-window', () => this._reportAll());
        this._watches = SERVICES.map(service => Gio.bus_watch_name(
            Gio.BusType.SESSION, service, Gio.BusNameWatcherFlags.NONE,
            () => this._report(service), null));
    }

    disable() {
        global.display.disconnect(this._focusHandler);
        this._watches.forEach(watch => Gio.bus_unwatch_name(watch));
        this._focusHandler = null;
        this._watches = [];
    }

    _reportAll() {
        SERVICES.forEach(service => this._report(service));
    }

    // Class (a Wayland window's app id), instance, pid and title, as strings.
    _report(service) {
        const window = global.display.focus_window;
        const pid = window ? window.get_pid() : 0;
        const values = window
            ? [window.get_wm_class() || '', window.get_wm_class_instance() || '',
                pid > 0 ? String(pid) : '', window.get_title() || '']
            : ['', '', '', ''];
        Gio.DBus.session.call(service, PATH, INTERFACE, 'Activated',
            new GLib.Variant('(ssss)', values), null, Gio.DBusCallFlags.NO_AUTO_START, -1, null,
            null);
    }
}
