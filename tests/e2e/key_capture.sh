#!/usr/bin/env bash
# Button Mapping through the real program on a private X server: a key typed
# into another window while "KEYBOARD KEY" is open is captured, and menu
# actions, the captured key with modifiers and a fixed CPI pair reach the
# simulated mouse's memory file after APPLY with their action bytes, and load
# back after a restart. Keys are captured by their physical position: the F13
# key (XF86Tools in the default keymap) binds F13, and the German layout's ß
# binds the usage of the US minus key, where ß is. The buttons add what the
# layout in use types on the key, also after a restart: "Q (a)" and "1 (&)"
# on the French layout, "- (ß)" on the German one.
# Controls are found by what they say, on the accessibility bus.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"
source "$(dirname "$0")/button_mapping.bash"

start_with_another_window

# Row 1: KEYBOARD KEY; the keys go to the other window, Shift held with A
# ticks SHIFT, and CTRL is ticked by hand.
open_menu "Right Button" Down Down Return
wait_for_window "KEYBOARD KEY" >/dev/null
type_elsewhere shift+a
[ "$(xdotool getwindowfocus)" = "$OTHER" ] || fail "the other window lost the focus"
click_widget "KEYBOARD KEY" "check box" "CTRL"
click_widget "KEYBOARD KEY" "push button" "OK"
wait_gone "KEYBOARD KEY"

# Row 2: FIXED CPI with X and Y apart: X stays 400, Y becomes 1600.
open_menu "Middle Button" Down Down Down Right Down Return
wait_for_window "FIXED CPI" >/dev/null
click_widget "FIXED CPI" "check box" "X/Y Settings"
click_widget "FIXED CPI" "text" "right of Y:"
xdotool key ctrl+a
xdotool type 1600
click_widget "FIXED CPI" "push button" "OK"
wait_gone "FIXED CPI"

open_menu "Forward Button" Down Right Down Down Down Down Return  # MOUSE > BACK
open_menu "Back Button" Down Down Down Right Return              # CPI > CPI LOOP
open_menu "Wheel Up" Down Down Down Down Right Down Down Down Return  # MEDIA > MUTE
open_menu "Wheel Down" Down Down Down Down Down Return           # DISABLE
apply

expect_slot 1 "02 03 04 00 00 00 08"  # Shift+Ctrl+A
expect_slot 2 "0c 00 90 01 40 06 08"  # X 400, Y 1600
expect_slot 3 "00 08 00 00 00 00 08"  # BACK
expect_slot 4 "09 f1 00 00 00 00 08"  # CPI LOOP
expect_slot 6 "20 e2 00 00 00 00 08"  # MUTE
expect_slot 7 "ff 00 00 00 00 00 08"  # DISABLE
expect_slot 0 "00 01 00 00 00 00 08"  # LEFT CLICK, untouched
expect_slot 5 "09 f1 00 00 00 00 08"  # the slot without a row, untouched

# After a restart the buttons show the stored actions again, every row exactly
# as before: the text comes from what the mouse holds, at capture as after.
grab_rows before
cp "$FILE" "$WORK/applied.bin"
kill "$PROGRAM_PID"
wait "$PROGRAM_PID" 2>/dev/null || true
wait_gone "$TITLE"
start_program
# Until the window shows what it read from the mouse.
rows_as_before() {
    grab_rows after
    [ "$(compare -metric AE "$WORK/before-rows.png" "$WORK/after-rows.png" null: 2>&1)" = "0" ]
}
wait_until 20 "rows 2 to 6 look different after the restart" rows_as_before
cmp -s "$FILE" "$WORK/applied.bin" || fail "the restart changed the memory file"
[ "$(compare -metric AE "$WORK/before-row1.png" "$WORK/after-row1.png" null: 2>&1)" = "0" ] ||
    fail "row 1 shows another text after the restart"
button_says "Shift+Ctrl+A" || fail "row 1 does not read Shift+Ctrl+A"

# By position: the real F13 key (X key code 191), which the default keymap
# calls XF86Tools, binds F13; under the German layout the ß key binds the US
# minus position. The key code is given as a number: by name xdotool would
# press the first key carrying XF86Tools, key code 179 (the Tools key).
capture_key "Back Button" 191
setxkbmap de || fail "setxkbmap de failed"
capture_key "Wheel Up" ssharp
wait_until 10 "the button does not read '- (ß)'" button_says "- (ß)"
apply
expect_slot 4 "02 00 68 00 00 00 08"  # F13: usage 0x68
expect_slot 6 "02 00 2d 00 00 00 08"  # ß, on the minus key

echo "PASS"
