#!/usr/bin/env bash
# The user's processes take turns at the mouse: a command started while
# another process holds the turn waits for it and then succeeds, and the agent
# never keeps the window or a command from starting.
source "$(dirname "$0")/e2e_lib.bash"
PEER=${SIMULATED_PEER:?the simulated peer program (set by ctest)}
MEMORY="$WORK/mouse.bin"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"

"$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
listening() { "$PROGRAM" agent --status | grep -q "^mouse: connected, listening$"; }
wait_until 10 "the agent did not start listening" listening

# A command runs while the agent runs.
"$PROGRAM" --simulate="$MEMORY" get polling_rate_hz >"$WORK/get.out" 2>"$WORK/get.log" ||
    fail "a command did not run beside the agent"
[ "$(cat "$WORK/get.out")" = 8000 ] || fail "get printed $(cat "$WORK/get.out")"

# Another process holds the turn for 1.5 s: a command started meanwhile waits
# and ends only after it was let go; so does the agent's notice of a press.
"$PEER" "$MEMORY" hold 1500 >"$WORK/hold.out" 2>"$WORK/hold.log" &
PIDS+=($!)
wait_until 10 "the peer did not take the turn" grep -q held "$WORK/hold.out"
"$PEER" "$MEMORY" cpi
"$PROGRAM" --simulate="$MEMORY" show >"$WORK/show.out" 2>"$WORK/show.log" ||
    fail "a command that waited for the turn failed"
grep -q released "$WORK/hold.out" || fail "the command did not wait for the other process's turn"
grep -q "^active_cpi_level = 3$" "$WORK/show.out" || fail "show did not read the mouse"
wait_until 10 "the agent gave no notice" grep -q "level 3 of 4" "$WORK/agent.out"

# The window starts while the agent runs (it does not hold the window's lock).
start_x
"$PROGRAM" --simulate="$MEMORY" >"$WORK/window.log" 2>&1 &
PIDS+=($!)
wait_for_window "Kestrine XQ3 8k v2 Configuration Tool" >/dev/null
echo "PASS"
