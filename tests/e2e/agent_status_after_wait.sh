#!/usr/bin/env bash
# What `agent --status` says about a profile that had to wait: while the
# configuration window holds the mouse it names the window; once the window
# has closed and the switch after it finds nothing to do (the window in
# front wants the profile the mouse holds), it no longer names a wait. It
# also says what every profile is laid over.
source "$(dirname "$0")/e2e_lib.bash"
TEST_WINDOW=${X11_TEST_WINDOW:?the X11 test window program (set by ctest)}
MEMORY="$WORK/mouse.bin"
export XDG_CONFIG_HOME="$WORK/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"  # notices on the agent's output
RULES="$XDG_CONFIG_HOME/kestrine-config"
mkdir -p "$RULES"
printf 'format = 1\npolling_rate_hz = 1000\n' >"$RULES/one.toml"
printf 'format = 1\npolling_rate_hz = 500\n' >"$RULES/two.toml"
cat >"$RULES/rules.toml" <<'TOML'
format = 1
[[rule]]
window_class = "GameOne"
profile = "one.toml"
[[rule]]
window_class = "GameTwo"
profile = "two.toml"
TOML

start_x
"$TEST_WINDOW" manager >"$WORK/manager.out" 2>"$WORK/manager.log" &
PIDS+=($!)
wait_until 10 "the stand-in window manager did not start" grep -q ready "$WORK/manager.out"
"$TEST_WINDOW" window gameone GameOne 0 0 >"$WORK/one.out" 2>&1 &
PIDS+=($!)
"$TEST_WINDOW" window gametwo GameTwo 200 0 >"$WORK/two.out" 2>&1 &
PIDS+=($!)
wait_until 10 "the first test window did not open" grep -q . "$WORK/one.out"
wait_until 10 "the second test window did not open" grep -q . "$WORK/two.out"
one=$(head -n 1 "$WORK/one.out")
two=$(head -n 1 "$WORK/two.out")

"$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
status() { "$PROGRAM" agent --status; }
says() { status | grep -qx "$1"; }
wait_until 10 "the agent does not follow the windows" says "windows: followed on X11"
says "profile base: what the mouse holds at the first switch" ||
    fail "the base before the first switch: $(status)"

rate_is() { [ "$(od -An -tu1 -j5 -N1 "$MEMORY" | tr -d ' ')" = "$1" ]; }
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
