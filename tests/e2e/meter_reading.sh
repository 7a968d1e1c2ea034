#!/usr/bin/env bash
# The report-rate meter as a screen reader gets it: see meter_reading.py.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"

TITLE="Kestrine XQ3 8k v2 Configuration Tool"

start_x
start_accessibility
"$PROGRAM" --simulate="$WORK/mouse.bin" >"$WORK/program.log" 2>&1 &
PIDS+=($!)
wait_for_window "$TITLE" >/dev/null
mouse_window=$(wait_for_window "Simulated mouse")

/usr/bin/python3 "$(dirname "$0")/meter_reading.py" "$TITLE" "$mouse_window" 2>"$WORK/reading.log" ||
    fail "$(cat "$WORK/reading.log")"
