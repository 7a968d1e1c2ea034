#!/usr/bin/env bash
# With --simulate=FILE the simulated mouse's own CPI button works while the
# main window is open, and its memory lands in FILE.
source "$(dirname "$0")/e2e_lib.bash"
MEMORY="$WORK/mouse.bin"

start_x
"$PROGRAM" --simulate="$MEMORY" >"$WORK/run.log" 2>&1 &
PIDS+=($!)
wait_for_window "Kestrine XQ3 8k v2 Configuration Tool" >/dev/null
mouse_window=$(wait_for_window "Simulated mouse")

[ "$(stat -c %s "$MEMORY")" -eq 1024 ] || fail "memory file not created with 1024 bytes"
level() { od -An -tu1 -j13 -N1 "$MEMORY" | tr -d ' '; }
[ "$(level)" = 1 ] || fail "factory active level is $(level), expected 1"

# The CPI button, by its keyboard shortcut (Alt+C) in that window: its place
# there depends on the font and on the memory file's lines below it.
xdotool windowfocus --sync "$mouse_window"
xdotool key alt+c
for _ in $(seq 1 50); do
    [ "$(level)" = 2 ] && break
    sleep 0.1
done
[ "$(level)" = 2 ] || fail "the CPI button did not step the active level (still $(level))"
kill -0 "${PIDS[-1]}" || fail "the tool ended"
echo "PASS"
