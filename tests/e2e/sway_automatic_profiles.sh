#!/usr/bin/env bash
# Automatic profiles on sway, a real Wayland compositor run headless: two
# native Wayland windows (foot) with different app ids, focused in turn with
# swaymsg, put their rules' profiles on the simulated mouse, one write per
# switch; the agent follows them through sway's IPC socket. sway refuses to
# run as root, so it and its windows run as an unprivileged user; the agent
# (this user) reaches the compositor through its socket.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/desktop_rules.bash"
source "$(dirname "$0")/sway_desktop.bash"
unset DISPLAY SWAYSOCK I3SOCK
MEMORY="$WORK/mouse.bin"
export XDG_CONFIG_HOME="$WORK/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"  # notices on the agent's output

command -v foot >/dev/null || skip "foot is not installed (scripts/install-deps)"
start_sway headless

write_alpha_beta_rules

for app in alpha beta; do
    as_desktop_user WAYLAND_DISPLAY=wayland-1 foot --app-id="kestrine.$app" sleep 600 \
        >"$WORK/foot-$app.log" 2>&1 &
    PIDS+=($!)
done
wait_until 20 "foot's alpha window did not appear" sway_shows kestrine.alpha
wait_until 20 "foot's beta window did not appear" sway_shows kestrine.beta

rate_is() { [ "$(rate)" = "$1" ]; }
applied() { [ "$(grep -c "^Profile '$1' applied$" "$WORK/agent.out")" = "$2" ]; }
focus() { swaymsg "[app_id=\"kestrine.$1\"] focus" >/dev/null || fail "swaymsg could not focus $1"; }

# beta has the focus when the agent starts: its profile comes unasked.
focus beta
# The agent of this session: sway's socket and Wayland display, no X display.
WAYLAND_DISPLAY="$SWAY_WAYLAND" XDG_CURRENT_DESKTOP=sway \
    "$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
following() { "$PROGRAM" agent --status | grep -q "^windows: followed through sway$"; }
wait_until 10 "the agent does not follow the windows through sway" following

wait_until 10 "beta's profile did not reach the mouse at the start" rate_is 16
[ "$(angle)" = 5 ] || fail "beta's sensor angle is $(angle), expected 5"
[ "$(writes)" = 1 ] || fail "$(writes) writes for the first window"

# Each focus is one switch and one write.
focus alpha
wait_until 10 "alpha's profile did not reach the mouse" rate_is 8
[ "$(writes)" = 2 ] || fail "$(writes) writes after one switch"
focus beta
wait_until 10 "beta's profile did not come back" rate_is 16
focus alpha
wait_until 10 "alpha's profile did not come back" rate_is 8
wait_until 10 "no notice for alpha's second switch" applied alpha 2
applied beta 2 || fail "beta's profile was applied $(grep -c "^Profile 'beta' applied$" "$WORK/agent.out") times, expected 2"
[ "$(writes)" = 4 ] || fail "$(writes) writes for the first window and three switches"
echo "PASS"
