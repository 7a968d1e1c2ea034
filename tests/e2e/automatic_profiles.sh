#!/usr/bin/env bash
# Automatic profiles under Xvfb: two windows of different classes, brought to
# the front with xdotool, put their rules' profiles on the simulated mouse,
# one write per switch; nothing is written while the configuration window is
# open, and the rule of the window in front is applied once it closes.
source "$(dirname "$0")/e2e_lib.bash"
TEST_WINDOW=${X11_TEST_WINDOW:?the X11 test window program (set by ctest)}
MEMORY="$WORK/mouse.bin"
export XDG_CONFIG_HOME="$WORK/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"  # notices on the agent's output
RULES="$XDG_CONFIG_HOME/kestrine-config"
mkdir -p "$RULES/profiles"
printf 'format = 1\npolling_rate_hz = 1000\n' >"$RULES/one.toml"
printf 'format = 1\npolling_rate_hz = 500\nsensor_angle = 5\n' >"$RULES/profiles/two.toml"
cat >"$RULES/rules.toml" <<'TOML'
format = 1
[[rule]]
window_class = "GameOne"
profile = "one.toml"
[[rule]]
window_class = "gametwo"
profile = "profiles/two.toml"
TOML

start_x
"$TEST_WINDOW" manager >"$WORK/manager.out" 2>"$WORK/manager.log" &
PIDS+=($!)
wait_until 10 "the stand-in window manager did not start" grep -q ready "$WORK/manager.out"
"$TEST_WINDOW" window gameone GameOne 0 0 >"$WORK/one.out" 2>&1 &
PIDS+=($!)
"$TEST_WINDOW" window gametwo GameTwo 200 0 >"$WORK/two.out" 2>&1 &
PIDS+=($!)
wait_until 10 "the test windows did not open" grep -q . "$WORK/one.out" "$WORK/two.out"
wait_until 10 "the second test window did not open" grep -q . "$WORK/two.out"
one=$(head -n 1 "$WORK/one.out")
two=$(head -n 1 "$WORK/two.out")

"$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
following() { "$PROGRAM" agent --status | grep -q "^windows: followed on X11$"; }
wait_until 10 "the agent does not follow the windows" following

rate() { od -An -tu1 -j5 -N1 "$MEMORY" | tr -d ' '; }
angle() { od -An -td1 -j112 -N1 "$MEMORY" | tr -d ' '; }
writes() { od -An -tu8 -N8 "$XDG_RUNTIME_DIR/kestrine-config-device.lock" 2>/dev/null | tr -d ' '; }
rate_is() { [ "$(rate)" = "$1" ]; }
[ "$(rate)" = 1 ] || fail "the factory rate is $(rate), expected code 1 (8000 Hz)"

xdotool windowactivate "$one"
wait_until 10 "GameOne's profile did not reach the mouse" rate_is 8
[ "$(writes)" = 1 ] || fail "$(writes) writes for one switch"
xdotool windowactivate "$two"
wait_until 10 "GameTwo's profile did not reach the mouse" rate_is 16
[ "$(angle)" = 5 ] || fail "GameTwo's sensor angle is $(angle), expected 5"
[ "$(writes)" = 2 ] || fail "$(writes) writes after two switches"
wait_until 10 "no notice for the profile" grep -q "^Profile 'two' applied$" "$WORK/agent.out"

# Through GameOne and back within the settle: GameTwo's profile stays, no write.
xdotool windowactivate "$one" windowactivate "$two"
sleep 1
[ "$(writes)" = 2 ] || fail "a quick switch there and back wrote to the mouse"

# The configuration window holds the mouse: nothing is written until it closes.
"$PROGRAM" --simulate="$MEMORY" >"$WORK/window.log" 2>&1 &
window_pid=$!
PIDS+=($window_pid)
wait_for_window "Kestrine XQ3 8k v2 Configuration Tool" >/dev/null
xdotool windowactivate "$one"
sleep 1
rate_is 16 || fail "the profile was written while the configuration window was open"
[ "$(writes)" = 2 ] || fail "the mouse was written while the configuration window was open"
kill "$window_pid"
wait_until 10 "GameOne's profile did not follow the window's closing" rate_is 8
[ "$(writes)" = 3 ] || fail "$(writes) writes after the window closed, expected 3"
echo "PASS"
