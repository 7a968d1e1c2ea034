#!/usr/bin/env bash
# Automatic profiles under Xvfb: windows of different classes, brought to the
# front with xdotool, put their rules' profiles on the simulated mouse, one
# write per switch; nothing is written while the configuration window is open,
# and the rule of the window in front is applied once it closes. The rules
# file edited while the agent runs, in place or by rename, is read again at
# once; a broken edit switches nothing and the agent says why.
# "Nothing was written" is always shown by a later event the agent had to
# handle after it (a write, or its status), never by waiting a while.
source "$(dirname "$0")/e2e_lib.bash"
TEST_WINDOW=${X11_TEST_WINDOW:?the X11 test window program (set by ctest)}
MEMORY="$WORK/mouse.bin"
export XDG_CONFIG_HOME="$WORK/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"  # notices on the agent's output
RULES="$XDG_CONFIG_HOME/kestrine-config"
mkdir -p "$RULES/profiles"
printf 'format = 1\npolling_rate_hz = 1000\n' >"$RULES/one.toml"
printf 'format = 1\npolling_rate_hz = 500\nsensor_angle = 5\n' >"$RULES/profiles/two.toml"
printf 'format = 1\npolling_rate_hz = 250\n' >"$RULES/profiles/three.toml"
printf 'format = 1\npolling_rate_hz = 125\n' >"$RULES/profiles/four.toml"
# rules ONE TWO: the rules file's text, GameOne's and gametwo's profiles.
rules() {
    printf 'format = 1\n[[rule]]\nwindow_class = "GameOne"\nprofile = "%s"\n' "$1"
    printf '[[rule]]\nwindow_class = "gametwo"\nprofile = "%s"\n' "$2"
    printf '[[rule]]\nwindow_class = "GameThree"\nprofile = "profiles/three.toml"\n'
}
rules one.toml profiles/two.toml >"$RULES/rules.toml"

start_x
"$TEST_WINDOW" manager >"$WORK/manager.out" 2>"$WORK/manager.log" &
PIDS+=($!)
wait_until 10 "the stand-in window manager did not start" grep -q ready "$WORK/manager.out"
"$TEST_WINDOW" window gameone GameOne 0 0 >"$WORK/one.out" 2>&1 &
PIDS+=($!)
"$TEST_WINDOW" window gametwo GameTwo 200 0 >"$WORK/two.out" 2>&1 &
PIDS+=($!)
wait_until 10 "the test windows did not open" grep -q . "$WORK/one.out" "$WORK/two.out"
"$TEST_WINDOW" window gamethree GameThree 400 0 >"$WORK/three.out" 2>&1 &
PIDS+=($!)
wait_until 10 "the second test window did not open" grep -q . "$WORK/two.out"
wait_until 10 "the third test window did not open" grep -q . "$WORK/three.out"
one=$(head -n 1 "$WORK/one.out")
two=$(head -n 1 "$WORK/two.out")
three=$(head -n 1 "$WORK/three.out")

"$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
status_says() { "$PROGRAM" agent --status | grep -q "$1"; }
following() { status_says "^windows: followed on X11$"; }
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

# Through GameOne and back within the settle: GameTwo's profile stays, no
# write. GameThree's profile is written after that settle ended, so any write
# of the quick switch would come before it.
xdotool windowactivate "$one" windowactivate "$two"
xdotool windowactivate "$three"
wait_until 10 "GameThree's profile did not reach the mouse" rate_is 32
[ "$(writes)" = 3 ] || fail "a quick switch there and back wrote to the mouse ($(writes) writes)"
notices() { grep "^Profile " "$WORK/agent.out" | tr '\n' ' '; }
wait_until 10 "no notice for GameThree's profile" grep -q "^Profile 'three' applied$" "$WORK/agent.out"
[ "$(notices)" = "Profile 'one' applied Profile 'two' applied Profile 'three' applied " ] ||
    fail "the profiles applied were: $(notices)"
xdotool windowactivate "$two"
wait_until 10 "GameTwo's profile did not come back" rate_is 16

# The configuration window holds the mouse: nothing is written until it closes.
"$PROGRAM" --simulate="$MEMORY" >"$WORK/window.log" 2>&1 &
window_pid=$!
PIDS+=($window_pid)
wait_for_window "Kestrine XQ3 8k v2 Configuration Tool" >/dev/null
xdotool windowactivate "$one"
wait_until 10 "the agent did not wait for the window" status_says "^profile: one waits for the configuration window to close$"
rate_is 16 || fail "the profile was written while the configuration window was open"
[ "$(writes)" = 4 ] || fail "the mouse was written while the configuration window was open"
kill "$window_pid"
wait_until 10 "GameOne's profile did not follow the window's closing" rate_is 8
[ "$(writes)" = 5 ] || fail "$(writes) writes after the window closed, expected 5"

# The rules edited in place: GameOne, in front, gets its new profile.
rules profiles/four.toml profiles/two.toml >"$RULES/rules.toml"
wait_until 10 "the rules edited in place did not reach the mouse" rate_is 64
[ "$(writes)" = 6 ] || fail "$(writes) writes after the rules were edited, expected 6"
# ... and by rename, as editors save.
rules one.toml profiles/two.toml >"$RULES/rules.toml.new"
mv "$RULES/rules.toml.new" "$RULES/rules.toml"
wait_until 10 "the rules saved by rename did not reach the mouse" rate_is 8
[ "$(writes)" = 7 ] || fail "$(writes) writes after the rules were renamed in, expected 7"

# A broken edit switches nothing, also at the next window change, and says why.
{ rules profiles/four.toml profiles/three.toml; echo 'profile = ['; } >"$RULES/rules.toml.new"
mv "$RULES/rules.toml.new" "$RULES/rules.toml"
wait_until 10 "the agent did not say the rules are broken" status_says "^rules: not used: .*rules.toml:11: TOML syntax"
grep -q "rules.toml:11: TOML syntax" "$WORK/agent.log" || fail "the agent's log does not say the rules are broken"
xdotool windowactivate "$two"
# Mended: gametwo, in front, gets its rule's profile; the one write since
# the broken edit is this one.
rules one.toml profiles/three.toml >"$RULES/rules.toml"
wait_until 10 "the mended rules did not reach the mouse" rate_is 32
[ "$(writes)" = 8 ] || fail "$(writes) writes after the rules were mended, expected 8: the broken rules switched something"
echo "PASS"
