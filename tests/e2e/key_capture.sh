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
TITLE="Kestrine XQ3 8k v2 Configuration Tool"
FILE="$WORK/mouse.bin"

window_gone() {
    [ "$(count_windows "$1")" -eq 0 ]
}

wait_gone() {
    wait_until 10 "window '$1' did not close" window_gone "$1"
}

# The program's windows on screen, its menus among them, one id a line.
program_windows() {
    xdotool search --onlyvisible --pid "$PROGRAM_PID" 2>/dev/null | sort || true
}

# open_menu ROW_LABEL KEYS...: opens the action menu of the row named by its
# label and walks the menu by keyboard.
open_menu() {
    local row=$1
    shift
    program_windows >"$WORK/windows-before"
    click_widget "$TITLE" "push button" "right of $row"
    wait_until 10 "the menu of '$row' did not open" menu_shown
    xdotool key --delay 80 "$@"
    wait_until 10 "the menu of '$row' did not close" menu_gone
}
# The menu is the window that was not there before the click.
menu_shown() {
    MENU=$(program_windows | comm -13 "$WORK/windows-before" - | head -n 1)
    [ -n "$MENU" ]
}
menu_gone() {
    ! program_windows | grep -qx "$MENU"
}

# type_elsewhere KEYS: KEYS typed into the other window while KEYBOARD KEY is
# open; returns once the dialog shows that it took them.
type_elsewhere() {
    local before
    wait_until 10 "KEYBOARD KEY shows no text" labels_read
    before=$(widget_names "KEYBOARD KEY" label)
    xdotool windowfocus --sync "$OTHER"
    xdotool key "$1"
    wait_until 10 "KEYBOARD KEY did not take $1" labels_differ_from "$before"
}
labels_read() {
    [ -n "$(widget_names "KEYBOARD KEY" label)" ]
}
labels_differ_from() {
    local now
    now=$(widget_names "KEYBOARD KEY" label)
    [ -n "$now" ] && [ "$now" != "$1" ]
}

start_program() {
    "$PROGRAM" --simulate="$FILE" >>"$WORK/program.log" 2>&1 &
    PROGRAM_PID=$!
    PIDS+=("$PROGRAM_PID")
    MAIN=$(wait_for_window "$TITLE")
    wait_for_window "Simulated mouse" >/dev/null
    click_widget "$TITLE" "page tab" "Button Mapping"
}

# slot_bytes K: kind, code, x (2), y (2) and filter of slot K in the memory file.
slot_bytes() {
    od -An -tx1 -v -j $((55 + 7 * $1)) -N7 "$FILE" | tr -s ' ' | sed 's/^ //;s/ $//'
}

expect_slot() {
    local slot=$1 expected=$2 actual
    actual=$(slot_bytes "$slot")
    [ "$actual" = "$expected" ] || fail "slot $slot holds '$actual', expected '$expected'"
}

apply() {
    local before
    before=$(md5sum <"$FILE")
    click_widget "$TITLE" "push button" "APPLY"
    wait_until 10 "APPLY did not reach the mouse" file_differs_from "$before"
}
file_differs_from() {
    [ "$(md5sum <"$FILE")" != "$1" ]
}

# capture_key ROW_LABEL KEY: KEYBOARD KEY for a row, KEY typed into the other
# window, then OK.
capture_key() {
    open_menu "$1" Down Down Return
    wait_for_window "KEYBOARD KEY" >/dev/null
    type_elsewhere "$2"
    click_widget "KEYBOARD KEY" "push button" "OK"
    wait_gone "KEYBOARD KEY"
}

# button_says TEXT: an action button is read as TEXT (a screen reader reads
# "1 (&)" only if the button shows the "&" rather than taking it as a shortcut).
button_says() {
    widget_names "$TITLE" "push button" | grep -Fxq "$1"
}
restart_program() {
    kill "$PROGRAM_PID"
    wait "$PROGRAM_PID" 2>/dev/null || true
    wait_gone "$TITLE"
    start_program
}

# grab_rows NAME: pictures of row 1's button and of the buttons of rows 2 to 6.
grab_rows() {
    local x y w h x6 y6 w6 h6
    import -window root "$WORK/screen.png"
    read -r x y w h < <(widget_rect "$TITLE" "push button" "right of Right Button")
    convert "$WORK/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$WORK/$1-row1.png"
    read -r x y w h < <(widget_rect "$TITLE" "push button" "right of Middle Button")
    read -r x6 y6 w6 h6 < <(widget_rect "$TITLE" "push button" "right of Wheel Down")
    convert "$WORK/screen.png" -crop "${w}x$((y6 + h6 - y))+${x}+${y}" +repage "$WORK/$1-rows.png"
}

start_x
start_accessibility
start_program
xmessage -name other "another window" >/dev/null 2>&1 &
PIDS+=($!)
OTHER=$(wait_for_window other)

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

# French layout: a on the Q key, & on the 1 key; the mouse stores the keys.
setxkbmap fr || fail "setxkbmap fr failed"
capture_key "Forward Button" a
capture_key "Middle Button" ampersand
wait_until 10 "the button does not read 'Q (a)'" button_says "Q (a)"
wait_until 10 "the button does not read '1 (&)'" button_says "1 (&)"
apply
expect_slot 3 "02 00 14 00 00 00 08"  # the Q key
expect_slot 2 "02 00 1e 00 00 00 08"  # the 1 key

# After a restart the legends come from the layout in use, whichever it is.
restart_program
wait_until 20 "after a restart the button does not read 'Q (a)'" button_says "Q (a)"
button_says "1 (&)" || fail "after a restart the button does not read '1 (&)'"
setxkbmap de || fail "setxkbmap de failed"
restart_program
wait_until 20 "after a restart the button does not read '- (ß)'" button_says "- (ß)"
button_says "Q" || fail "on the German layout the Q key's button does not read 'Q'"
echo "PASS"
