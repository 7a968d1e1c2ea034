#!/usr/bin/env bash
# The action buttons add what the keyboard layout in use types on a bound key,
# asked of the X server's keymap whenever they are shown: "Q (a)" and "1 (&)"
# (the "&" shown, not taken as a shortcut) on the French layout, "- (ß)" on the
# German one, after APPLY and a restart as right after the capture, and after a
# switch of layout while the window is open. The mouse stores the keys.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"
source "$(dirname "$0")/button_mapping.bash"

start_with_another_window

setxkbmap fr || fail "setxkbmap fr failed"
capture_key "Forward Button" a          # the Q key
capture_key "Middle Button" ampersand   # the 1 key
wait_until 10 "the button does not read 'Q (a)'" button_says "Q (a)"
wait_until 10 "the button does not read '1 (&)'" button_says "1 (&)"
setxkbmap de || fail "setxkbmap de failed"
capture_key "Wheel Up" ssharp           # the minus key
wait_until 10 "the button does not read '- (ß)'" button_says "- (ß)"
apply
expect_slot 3 "02 00 14 00 00 00 08"  # the Q key
expect_slot 2 "02 00 1e 00 00 00 08"  # the 1 key
expect_slot 6 "02 00 2d 00 00 00 08"  # the minus key

# After a restart, from what the mouse holds and the layout in use.
restart_program
wait_until 20 "after a restart the button does not read '- (ß)'" button_says "- (ß)"
button_says "Q" || fail "on the German layout the Q key's button does not read 'Q'"
setxkbmap fr || fail "setxkbmap fr failed"
restart_program
wait_until 20 "after a restart the button does not read 'Q (a)'" button_says "Q (a)"
button_says "1 (&)" || fail "after a restart the button does not read '1 (&)'"

# A switch of layout while the window is open.
setxkbmap de || fail "setxkbmap de failed"
wait_until 10 "after a switch to German the button does not read '- (ß)'" button_says "- (ß)"
echo "PASS"
