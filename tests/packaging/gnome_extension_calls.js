// Loads one form of the GNOME Shell extension as that Shell would (43-44: the
// legacy importer and init(); 45 and newer: an ES module whose default export
// extends the Shell's Extension) inside gjs, with a stand-in for the Shell's
// `global.display`, and prints every D-Bus call the extension makes to the
// agent's and the rules dialog's names, which this program owns on the
// session bus. Run on a private bus: gjs -m gnome_extension_calls.js FORM DIR [RESOURCE]
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const [form, folder, resource] = ARGV;
const SERVICES = ['io.github.kestrine.config.ActiveWindow',
    'io.github.kestrine.config.ActiveWindow.Pick'];
const PATH = '/io/github/kestrine/config/ActiveWindow';
const XML = `<node><interface name="io.github.kestrine.config.ActiveWindow">
  <method name="Activated"><arg type="s"/><arg type="s"/><arg type="s"/><arg type="s"/></method>
</interface></node>`;

function fail(message) {
    throw new Error(message);
}

class StubWindow {
    constructor(wmClass, instance, pid, title) {
        Object.assign(this, {wmClass, instance, pid, title});
    }

    get_wm_class() { return this.wmClass; }
    get_wm_class_instance() { return this.instance; }
    get_pid() { return this.pid; }
    get_title() { return this.title; }
}

// The signals the extension connects to on the display, and its focus.
const display = {
    focus_window: new StubWindow('org.example.Alpha', 'alpha', 4242, 'Alpha'),
    handlers: new Map(),
    nextId: 1,
    connect(signal, callback) {
        this.handlers.set(this.nextId, {signal, callback});
        return this.nextId++;
    },
    disconnect(id) {
        if (!this.handlers.delete(id))
            fail(`disconnect(${id}) of a handler never connected`);
    },
    focus(window) {
        this.focus_window = window;
        for (const {signal, callback} of this.handlers.values()) {
            if (signal === 'notify::focus-window')
                callback(this, null);
        }
    },
};
globalThis.global = {display};

const calls = [];
const receiver = {
    ActivatedAsync(values, invocation) {
        calls.push(`${invocation.get_message().get_destination()} ${JSON.stringify(values)}`);
        invocation.return_value(null);
    },
};

function sleep(ms) {
    return new Promise(resolve => GLib.timeout_add(GLib.PRIORITY_DEFAULT, ms, () => {
        resolve();
        return GLib.SOURCE_REMOVE;
    }));
}

// The calls of one step, in a fixed order: the two names are called in no set order.
async function step(name, expected) {
    for (let waited = 0; calls.length < expected && waited < 5000; waited += 20)
        await sleep(20);
    await sleep(200);  // anything more than expected comes now
    print(`${name}:`);
    calls.splice(0).sort().forEach(call => print(`  ${call}`));
}

async function loadExtension() {
    if (form === '43') {
        imports.searchPath.unshift(folder);
        const extension = imports.extension.init();
        if (typeof extension.enable !== 'function' || typeof extension.disable !== 'function')
            fail('init() returned no object with enable() and disable()');
        return extension;
    }
    Gio.resources_register(Gio.Resource.load(resource));
    const {Extension} = await import('resource:///org/gnome/shell/extensions/extension.js');
    const module = await import(Gio.File.new_for_path(`${folder}/extension.js`).get_uri());
    const ExtensionClass = module.default;
    if (typeof ExtensionClass !== 'function' || !(ExtensionClass.prototype instanceof Extension))
        fail('the default export is not a class that extends the Shell\'s Extension');
    for (const method of ['enable', 'disable']) {
        if (!Object.prototype.hasOwnProperty.call(ExtensionClass.prototype, method))
            fail(`the default export has no ${method}()`);
    }
    return new ExtensionClass({uuid: 'kestrine-config-windows@kestrine.github.io', path: folder});
}

async function main() {
    const bus = Gio.DBus.session;
    const extension = await loadExtension();
    extension.enable();
    await step('enabled, no one listening', 0);

    const object = Gio.DBusExportedObject.wrapJSObject(XML, receiver);
    object.export(bus, PATH);
    const owned = SERVICES.map(service => Gio.bus_own_name_on_connection(bus, service,
        Gio.BusNameOwnerFlags.NONE, null, null));
    await step('both names taken', 2);

    display.focus(new StubWindow('org.example.Beta', 'org.example.Beta', 0, 'Beta'));
    await step('focus to a window of unknown pid', 2);
    display.focus(null);
    await step('focus to no window', 2);

    extension.disable();
    if (display.handlers.size !== 0)
        fail(`disable() left ${display.handlers.size} handler(s) connected`);
    owned.forEach(id => Gio.bus_unown_name(id));
    await sleep(100);
    SERVICES.forEach(service => Gio.bus_own_name_on_connection(bus, service,
        Gio.BusNameOwnerFlags.NONE, null, null));
    display.focus(display.focus_window);
    await step('disabled, names taken again', 0);
}

const loop = new GLib.MainLoop(null, false);
let status = 0;
main().catch(error => {
    printerr(`FAIL (${form}): ${error.message}\n${error.stack}`);
    status = 1;
}).finally(() => loop.quit());
loop.run();
System.exit(status);
