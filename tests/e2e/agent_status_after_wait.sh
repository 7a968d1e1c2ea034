#!/usr/bin/env bash
# What `agent --status` says about a profile that had to wait: while the
# configuration window holds the mouse it names the window; once the window
# has closed and the switch after it finds nothing to do (the window in
# front wants the profile the mouse holds), it no longer names a wait. It
# also says what every profile is laid over.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/two_game_windows.bash"
MEMORY="$WORK/mouse.bin"
export XDG_CONFIG_HOME="$WORK/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"  # notices on the agent's output
write_game_rules

start_x
open_game_windows

"$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
status() { "$PROGRAM" agent --status; }
says() { status | grep -qx "$1"; }
wait_until 10 "the agent does not follow the windows" says "windows: followed on X11"
says "profile base: what the mouse holds at the first switch" ||
    fail "the base before the first switch: $(status)"

xdotool windowactivate "$one"
wait_until 10 "GameOne's profile did not reach the mouse" rate_is 8
wait_until 10 "the status does not name GameOne's profile" says "profile: one applied"
status | grep -q "^profile base: what the mouse held at the agent's first switch (" ||
    fail "the base after the first switch: $(status)"

"$PROGRAM" --simulate="$MEMORY" >"$WORK/window.log" 2>&1 &
window_pid=$!
PIDS+=($window_pid)
wait_for_window "Kestrine XQ3 8k v2 Configuration Tool" >/dev/null
xdotool windowactivate "$two"
wait_until 10 "the status does not say what GameTwo's profile waits for" \
    says "profile: two waits for the configuration window to close"
# Back to GameOne before the window closes: its profile is on the mouse already.
xdotool windowactivate "$one"
kill "$window_pid"
wait_until 10 "the status still names a wait after the window closed" says "profile: one applied"
rate_is 8 || fail "the mouse's rate changed, though GameOne's profile was on it"
echo "PASS"
