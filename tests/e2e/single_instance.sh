#!/usr/bin/env bash
# The program shows its titled window; a second start while it runs ends at
# once with status 0 and shows no second window.
source "$(dirname "$0")/e2e_lib.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"

start_x
"$PROGRAM" --simulate >"$WORK/first.log" 2>&1 &
PIDS+=($!)
wait_for_window "$TITLE" >/dev/null
wait_for_window "Simulated mouse" >/dev/null

timeout 20 "$PROGRAM" --simulate >"$WORK/second.log" 2>&1 || fail "second start exited with status $?"
[ ! -s "$WORK/second.log" ] || fail "second start printed: $(cat "$WORK/second.log")"
[ "$(count_windows "$TITLE")" -eq 1 ] || fail "more than one main window"
kill -0 "${PIDS[-1]}" || fail "the first instance ended"
echo "PASS"
