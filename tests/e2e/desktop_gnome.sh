#!/usr/bin/env bash
# Automatic profiles on GNOME Shell, run headless (--headless --wayland) on a
# private session bus with a stand-in system bus (the Shell asks logind for
# its session): our Shell extension, installed for the user and enabled in
# the Shell's settings before it starts, reports each focused window to the
# agent; two native Wayland windows (Qt's) with different app ids are
# focused in turn through the Shell's own window calls (a second, test-only
# extension offers them on the bus, since GNOME 43 allows its Eval only in an
# unsafe mode its command line cannot turn on), and each puts its rule's
# profile on the simulated mouse, one write per switch. Needs GNOME Shell: asked for with KESTRINE_TEST_DESKTOPS=1.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/desktop_rules.bash"
if [ "${KESTRINE_TEST_DESKTOPS:-0}" != 1 ]; then
    echo "skipped: GNOME Shell runs only when asked: KESTRINE_TEST_DESKTOPS=1"
    exit 77
fi
unset DISPLAY SWAYSOCK I3SOCK
for program in gnome-shell gsettings dbus-daemon gdbus; do
    command -v "$program" >/dev/null || fail "$program is not installed (scripts/install-deps)"
done
TEST_WINDOW=${WAYLAND_TEST_WINDOW:?the Wayland test window program (set by ctest)}
EXTENSIONS=${GNOME_SHELL_EXTENSIONS:?the built forms of the Shell extension (set by ctest)}
UUID=kestrine-config-windows@kestrine.github.io
MEMORY="$WORK/mouse.bin"
SOCKET=kestrine-gnome
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/home/.local/share"
mkdir -p "$HOME" "$XDG_DATA_HOME/gnome-shell/extensions"
# The form this Shell loads, as the package installs it: 43's up to GNOME 44.
case $(gnome-shell --version) in
    "GNOME Shell 43."* | "GNOME Shell 44."*) form=43 ;;
    *) form=45 ;;
esac
cp -r "$EXTENSIONS/$form/$UUID" "$XDG_DATA_HOME/gnome-shell/extensions/"

dbus-daemon --config-file=/usr/share/dbus-1/session.conf --fork --print-pid \
    --address="unix:path=$WORK/system-bus" >"$WORK/system-bus.pid"
PIDS+=("$(cat "$WORK/system-bus.pid")")
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/system-bus"
dbus-daemon --session --fork --print-pid --address="unix:path=$WORK/bus" >"$WORK/bus.pid"
PIDS+=("$(cat "$WORK/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/bus"
# The test's own extension: Focus(app id) activates that window as a click would.
FOCUS_UUID=kestrine-test-focus@kestrine.github.io
mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions/$FOCUS_UUID"
cat >"$XDG_DATA_HOME/gnome-shell/extensions/$FOCUS_UUID/metadata.json" <<JSON
{"uuid": "$FOCUS_UUID", "name": "focus for tests", "description": "Focus(app id) on the bus",
 "shell-version": ["43", "44"]}
JSON
cat >"$XDG_DATA_HOME/gnome-shell/extensions/$FOCUS_UUID/extension.js" <<'JS'
const { Gio } = imports.gi;
const XML = `<node><interface name="io.github.kestrine.config.TestFocus">
  <method name="Focus"><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
</interface></node>`;
class Focus {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(XML, this);
        this._object.export(Gio.DBus.session, '/io/github/kestrine/config/TestFocus');
        this._name = Gio.bus_own_name(Gio.BusType.SESSION, 'io.github.kestrine.config.TestFocus',
            Gio.BusNameOwnerFlags.NONE, null, null, null);
    }
    disable() {
        this._object.unexport();
        Gio.bus_unown_name(this._name);
    }
    Focus(appId) {
        const windows = global.get_window_actors().map(actor => actor.meta_window)
            .filter(window => window.get_wm_class() === appId);
        windows.forEach(window => window.activate(global.get_current_time()));
        return windows.length > 0;
    }
}
function init() {
    return new Focus();
}
JS
# Ours is installed, not enabled: `agent --enable` enables it.
gsettings set org.gnome.shell enabled-extensions "['$FOCUS_UUID']"
gsettings set org.gnome.shell disable-extension-version-validation true

start_shell() {
    gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 \
        --wayland-display "$SOCKET" >>"$WORK/shell.log" 2>&1 &
    shell_pid=$!
    PIDS+=($shell_pid)
}
start_shell
shell() { gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell "$@"; }
extension_state() {
    shell --method org.gnome.Shell.Extensions.GetExtensionInfo "$UUID" 2>/dev/null |
        grep -oE "'state': <[0-9.]+>" | grep -oE "[0-9.]+"
}
focus_ready() { has_name io.github.kestrine.config.TestFocus; }
has_name() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
wait_until 60 "GNOME Shell did not start with the test's extension" focus_ready

write_alpha_beta_rules

for app in alpha beta; do
    WAYLAND_DISPLAY="$SOCKET" QT_QPA_PLATFORM=wayland "$TEST_WINDOW" "kestrine.$app" \
        >"$WORK/window-$app.log" 2>&1 &
    PIDS+=($!)
done

export XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY="$SOCKET"
# Not enabled yet: the agent runs, and says what is missing.
"$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
agent=$!
PIDS+=($agent)
not_enabled() {
    "$PROGRAM" agent --status |
        grep -q "^windows: cannot be followed: the GNOME Shell extension $UUID is installed but not enabled: kestrine-config agent --enable enables it"
}
wait_until 20 "agent --status does not say the extension is not enabled" not_enabled
kill "$agent"
wait_until 10 "the agent did not stop" sh -c "! kill -0 $agent 2>/dev/null"

# --enable enables it, then starts the agent (detached: --disable stops it).
disable() { "$PROGRAM" agent --disable >/dev/null 2>&1 || true; }
trap 'disable; cleanup' EXIT
"$PROGRAM" --simulate="$MEMORY" agent --enable >"$WORK/enable.out" 2>"$WORK/enable.log" ||
    fail "agent --enable failed"
grep -q "The GNOME Shell extension $UUID is enabled" "$WORK/enable.out" ||
    fail "agent --enable did not enable the extension: $(cat "$WORK/enable.log")"
extension_enabled() { [ "$(extension_state)" = 1.0 ]; }
wait_until 10 "GNOME Shell did not enable the extension (state: $(extension_state))" extension_enabled
following() {
    "$PROGRAM" agent --status | grep -q "^windows: followed through the GNOME Shell extension$"
}
wait_until 20 "the agent does not follow the windows through the extension" following

focus() {
    gdbus call --session --dest io.github.kestrine.config.TestFocus \
        --object-path /io/github/kestrine/config/TestFocus \
        --method io.github.kestrine.config.TestFocus.Focus "kestrine.$1" >/dev/null ||
        fail "GNOME Shell's test extension did not answer"
}
switch_alpha_beta_alpha focus

# The other GNOME generation's form, as after an upgrade of GNOME past the
# one the package was built for: the Shell, checking versions as it does by
# default, refuses it, and the agent says why.
disable
kill "$shell_pid"
shell_gone() { ! has_name org.gnome.Shell; }
wait_until 20 "GNOME Shell did not end" shell_gone
other=$([ "$form" = 43 ] && echo 45 || echo 43)
rm -rf "${XDG_DATA_HOME:?}/gnome-shell/extensions/$UUID"
cp -r "$EXTENSIONS/$other/$UUID" "$XDG_DATA_HOME/gnome-shell/extensions/"
gsettings set org.gnome.shell disable-extension-version-validation false
start_shell
wait_until 60 "GNOME Shell did not start again" focus_ready
"$PROGRAM" --simulate="$MEMORY" agent >>"$WORK/agent.out" 2>>"$WORK/agent.log" &
PIDS+=($!)
refused() {
    "$PROGRAM" agent --status |
        grep -q "^windows: cannot be followed: the GNOME Shell extension $UUID is made for another GNOME Shell version than this one"
}
wait_until 20 "agent --status does not say the Shell refuses GNOME $other's form" refused
echo "PASS"
