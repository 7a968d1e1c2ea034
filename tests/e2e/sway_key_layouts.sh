#!/usr/bin/env bash
# A native Wayland window on sway with no X display: the action buttons add
# what the compositor's keyboard layout types on a bound key, read from the
# keymap sway sends its clients: "Q (a)" and "1 (&)" on the French layout at
# the first start (the keys were bound before, from the command line), the
# German "- (ß)" once sway's layout is switched while the window is open, and
# after a restart. sway runs nested in Xvfb so that its seat has a keyboard
# whose layout its configuration sets.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"
source "$(dirname "$0")/button_mapping.bash"
source "$(dirname "$0")/sway_desktop.bash"

"$PROGRAM" --simulate="$FILE" set forward=key:Q middle=key:1 wheel_up=key:- >/dev/null ||
    fail "the command line did not bind the keys"
start_x
start_accessibility
start_sway x11 "input * xkb_layout fr"
unset DISPLAY  # a Wayland-only session: the window reaches no X server

# press_tab NAME: the page tab pressed as a screen reader presses it.
press_tab() {
    PYTHONPATH="$(dirname "$0")" /usr/bin/python3 - "$TITLE" "$1" <<'PY'
import sys
from atspi_tree import walk, window
top = window(sys.argv[1])
for node in walk(top) if top else []:
    if node.get_role_name() == "page tab" and (node.get_name() or "").strip() == sys.argv[2]:
        sys.exit(0 if node.do_action(0) else 1)
sys.exit(1)
PY
}
start_window() {
    WAYLAND_DISPLAY="$SWAY_WAYLAND" QT_QPA_PLATFORM=wayland "$PROGRAM" --simulate="$FILE" \
        >>"$WORK/program.log" 2>&1 &
    PROGRAM_PID=$!
    PIDS+=("$PROGRAM_PID")
    wait_until 20 "the window did not appear on sway" sway_shows "$TITLE"
    wait_until 20 "the Button Mapping page did not open" press_tab "Button Mapping"
}

start_window
wait_until 10 "on the French layout the button does not read 'Q (a)'" button_says "Q (a)"
button_says "1 (&)" || fail "on the French layout the button does not read '1 (&)'"
button_says "- ())" || fail "on the French layout the button does not read '- ())'"

swaymsg "input * xkb_layout de" >/dev/null || fail "swaymsg could not switch to German"
wait_until 10 "after a switch to German the button does not read '- (ß)'" button_says "- (ß)"
button_says "Q" || fail "on the German layout the Q key's button does not read 'Q'"

kill "$PROGRAM_PID"
wait "$PROGRAM_PID" 2>/dev/null || true
start_window
wait_until 10 "after a restart the button does not read '- (ß)'" button_says "- (ß)"
button_says "1" || fail "after a restart on German the 1 key's button does not read '1'"
echo "PASS"
