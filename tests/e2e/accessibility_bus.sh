#!/usr/bin/env bash
# What a screen reader is told, read from the accessibility bus while the
# program runs against a simulated mouse: see walk_bus.py.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"

TITLE="Kestrine XQ3 8k v2 Configuration Tool"
FILE="$WORK/mouse.bin"

start_x
start_accessibility
"$PROGRAM" --simulate="$FILE" >"$WORK/program.log" 2>&1 &
PIDS+=($!)
wait_for_window "$TITLE" >/dev/null
wait_for_window "Simulated mouse" >/dev/null
/usr/bin/python3 "$(dirname "$0")/walk_bus.py" "$TITLE" 2>"$WORK/walk.log" ||
    fail "$(cat "$WORK/walk.log")"
