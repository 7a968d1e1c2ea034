#!/usr/bin/env bash
# Automatic profiles on KDE Plasma's compositor, KWin, run headless
# (--virtual) on a private session bus: the agent loads its KWin script
# through KWin's scripting D-Bus interface, two native Wayland windows (Qt's;
# foot cannot start on KWin's virtual output) with different app ids are
# activated in turn through the same interface (a script that sets KWin's
# active window), and each puts its rule's profile on the simulated mouse,
# one write per switch. Then KWin is killed and started again, as a crash or
# `kwin_wayland --replace` does: the agent loads its script into the new KWin
# by itself, and the switches go on. Slow to set up and needs KWin:
# asked for with KESTRINE_TEST_DESKTOPS=1.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/desktop_rules.bash"
if [ "${KESTRINE_TEST_DESKTOPS:-0}" != 1 ]; then
    echo "skipped: KWin's own compositor runs only when asked: KESTRINE_TEST_DESKTOPS=1"
    exit 77
fi
unset DISPLAY SWAYSOCK I3SOCK
for program in kwin_wayland dbus-daemon dbus-send; do
    command -v "$program" >/dev/null || fail "$program is not installed (scripts/install-deps)"
done
TEST_WINDOW=${WAYLAND_TEST_WINDOW:?the Wayland test window program (set by ctest)}
MEMORY="$WORK/mouse.bin"
export XDG_CONFIG_HOME="$WORK/config"
SOCKET=kestrine-kwin

# A session bus of this run's own, which KWin and the agent share.
dbus-daemon --session --fork --address="unix:path=$WORK/bus" --print-pid >"$WORK/bus.pid"
PIDS+=("$(cat "$WORK/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/bus"
has_owner() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q "boolean true"
}

# Debian's kwin_wayland carries a file capability that an unprivileged
# container refuses to exec; a copy without it runs the same.
cp "$(command -v kwin_wayland)" "$WORK/kwin_wayland"
# start_kwin: KWin with the two windows (which end with the KWin they ran on).
start_kwin() {
    QT_QPA_PLATFORM=offscreen "$WORK/kwin_wayland" --virtual --socket "$SOCKET" --width 1280 \
        --height 800 >>"$WORK/kwin.log" 2>&1 &
    kwin=$!
    PIDS+=($kwin)
    wait_until 30 "KWin did not come onto the session bus" has_owner org.kde.KWin
    for app in alpha beta; do
        WAYLAND_DISPLAY="$SOCKET" QT_QPA_PLATFORM=wayland "$TEST_WINDOW" "kestrine.$app" \
            >>"$WORK/window-$app.log" 2>&1 &
        PIDS+=($!)
    done
}
start_kwin

write_alpha_beta_rules

XDG_CURRENT_DESKTOP=KDE WAYLAND_DISPLAY="$SOCKET" \
    "$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
following() { "$PROGRAM" agent --status | grep -q "^windows: followed through the KWin script$"; }
wait_until 20 "the agent does not follow the windows through KWin" following

# KWin's own way to activate a window: a script, loaded over D-Bus, that
# makes the window of that app id the active one (KWin 6 and 5.27 name it apart).
activate() {
    cat >"$WORK/activate.js" <<JS
const windows = workspace.windowList !== undefined ? workspace.windowList() : workspace.clientList();
for (const window of windows) {
    if (window.resourceClass == "kestrine.$1") {
        if (workspace.activeWindow !== undefined) {
            workspace.activeWindow = window;
        } else {
            workspace.activeClient = window;
        }
    }
}
JS
    local kwin=(dbus-send --session --print-reply --dest=org.kde.KWin /Scripting)
    "${kwin[@]}" org.kde.kwin.Scripting.unloadScript string:kestrine-activate >/dev/null 2>&1 || true
    "${kwin[@]}" org.kde.kwin.Scripting.loadScript "string:$WORK/activate.js" \
        string:kestrine-activate >/dev/null || fail "KWin did not load the activating script"
    "${kwin[@]}" org.kde.kwin.Scripting.start >/dev/null || fail "KWin did not run the activating script"
}
switch_alpha_beta_alpha activate

kill -KILL "$kwin"
kwin_gone() { ! has_owner org.kde.KWin; }
wait_until 10 "KWin did not leave the session bus" kwin_gone
start_kwin
brought() {
    activate "$1"
    [ "$(rate)" = "$2" ]
}
wait_until 20 "beta's profile did not reach the mouse after KWin started again" brought beta 16
wait_until 10 "alpha's profile did not come back after KWin started again" brought alpha 8
following || fail "agent --status no longer says the windows are followed through the KWin script"
echo "PASS"
