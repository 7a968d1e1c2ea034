#!/usr/bin/env bash
# Under an X server with no window manager (Xvfb) nothing gives a new window
# the keyboard: the window takes it as it first shows, so that keys go to it
# and not to whatever lies under the pointer; again after a restart (the
# focus then fell back to the root). A window that has the focus when the
# program starts keeps it, and so does one under the pointer while the focus
# follows the pointer.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"

start_x
start_accessibility
# No simulated mouse: its window would hand the focus to the main one by itself.
start_program() {
    "$PROGRAM" >>"$WORK/program.log" 2>&1 &
    PROGRAM_PID=$!
    PIDS+=("$PROGRAM_PID")
    MAIN=$(wait_for_window "$TITLE")
}
stop_program() {
    kill "$PROGRAM_PID"
    wait "$PROGRAM_PID" 2>/dev/null || true
}
focus_on() {
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}
# What the program itself says: its window is the active one.
window_active() {
    PYTHONPATH="$(dirname "$0")" /usr/bin/python3 - "$TITLE" <<'PY'
import sys
from atspi_tree import window
from gi.repository import Atspi
top = window(sys.argv[1])
sys.exit(0 if top and top.get_state_set().contains(Atspi.StateType.ACTIVE) else 1)
PY
}

start_program
wait_until 10 "the window does not have the keyboard focus at the start" focus_on "$MAIN"
wait_until 10 "the window does not say it is active" window_active
stop_program
start_program
wait_until 10 "after a restart the window does not have the focus" focus_on "$MAIN"
stop_program

# The icon is set in the same step as the focus is taken, once the window first shows.
settled() { xprop -id "$MAIN" _NET_WM_ICON 2>/dev/null | grep -q "^_NET_WM_ICON(CARDINAL)"; }

xmessage -name other "another window" >/dev/null 2>&1 &
PIDS+=($!)
OTHER=$(wait_for_window other)
# The focus follows the pointer, which is over the other window: it gets the keys.
xdotool mousemove --sync --window "$OTHER" 5 5
start_program
wait_until 10 "the window never got its icon" settled
! focus_on "$MAIN" || fail "the program took the focus from the window under the pointer"
stop_program

# The other window has the focus, the pointer is where the program's window shows.
xdotool mousemove --sync 640 512 windowfocus --sync "$OTHER"
start_program
wait_until 10 "the window never got its icon" settled
focus_on "$OTHER" || fail "the program took the focus from the window that had it"
echo "PASS"
