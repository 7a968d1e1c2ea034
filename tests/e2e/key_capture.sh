#!/usr/bin/env bash
# Button Mapping through the real program on a private X server: a key typed
# into another window while "KEYBOARD KEY" is open is captured, and menu
# actions, the captured key with modifiers and a fixed CPI pair reach the
# simulated mouse's memory file after APPLY with their action bytes, and load
# back after a restart.
source "$(dirname "$0")/e2e_lib.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"
FILE="$WORK/mouse.bin"

# Positions inside the main window and the dialogs, as laid out by the tool.
TAB_X=379 TAB_Y=113          # the "  Button Mapping  " tab
ROW_X=281 ROW_Y=190 ROW_STEP=32

click() {
    xdotool mousemove --sync --window "$1" "$2" "$3" click 1
    sleep 0.3
}

window_size() {
    local geometry
    geometry=$(xdotool getwindowgeometry --shell "$1")
    echo $(sed -n 's/^WIDTH=//p;s/^HEIGHT=//p' <<<"$geometry")
}

wait_gone() {
    for _ in $(seq 1 100); do
        [ "$(count_windows "$1")" -eq 0 ] && return 0
        sleep 0.1
    done
    fail "window '$1' did not close"
}

# open_menu ROW KEYS...: opens the action menu of a row and walks it by keyboard.
open_menu() {
    local row=$1
    shift
    click "$MAIN" "$ROW_X" $((ROW_Y + ROW_STEP * (row - 1)))
    xdotool key --delay 80 "$@"
    sleep 0.3
}

start_program() {
    "$PROGRAM" --simulate="$FILE" >>"$WORK/program.log" 2>&1 &
    PROGRAM_PID=$!
    PIDS+=("$PROGRAM_PID")
    MAIN=$(wait_for_window "$TITLE")
    wait_for_window "Simulated mouse" >/dev/null
    click "$MAIN" "$TAB_X" "$TAB_Y"
}

# slot_bytes K: kind, code, x (2), y (2) and filter of slot K in the memory file.
slot_bytes() {
    od -An -tx1 -v -j $((55 + 7 * $1)) -N7 "$FILE" | tr -s ' ' | sed 's/^ //;s/ $//'
}

grab_rows() {
    import -window "$MAIN" "$WORK/main.png"
    convert "$WORK/main.png" -crop "200x24+181+$((ROW_Y - 12))" +repage "$WORK/$1-row1.png"
    convert "$WORK/main.png" -crop "200x152+181+$((ROW_Y + ROW_STEP - 12))" +repage "$WORK/$1-rows.png"
}

start_x
start_program
xmessage -name other "another window" >/dev/null 2>&1 &
PIDS+=($!)
OTHER=$(wait_for_window other)

# Row 1: KEYBOARD KEY; the keys go to the other window, SHIFT and CTRL are ticked.
open_menu 1 Down Down Return
DIALOG=$(wait_for_window "KEYBOARD KEY")
xdotool windowfocus --sync "$OTHER"
xdotool key shift+a
sleep 0.5
[ "$(xdotool getwindowfocus)" = "$OTHER" ] || fail "the other window lost the focus"
click "$DIALOG" 23 75  # SHIFT
click "$DIALOG" 90 75  # CTRL
read -r width height < <(window_size "$DIALOG")
click "$DIALOG" $((width - 57)) $((height - 24))  # OK
wait_gone "KEYBOARD KEY"

# Row 2: FIXED CPI with X and Y apart: X stays 400, Y becomes 1600.
open_menu 2 Down Down Down Right Down Return
DIALOG=$(wait_for_window "FIXED CPI")
read -r width height < <(window_size "$DIALOG")
click "$DIALOG" 18 20  # X/Y Settings
click "$DIALOG" $((width - 52)) 75  # the Y field
xdotool key ctrl+a
xdotool type 1600
click "$DIALOG" $((width - 53)) $((height - 23))  # OK
wait_gone "FIXED CPI"

open_menu 3 Down Right Down Down Down Down Return   # MOUSE > BACK
open_menu 4 Down Down Down Right Return             # CPI > CPI LOOP
open_menu 5 Down Down Down Down Right Down Down Down Return  # MEDIA > MUTE
open_menu 6 Down Down Down Down Down Return         # DISABLE

before=$(slot_bytes 1)
read -r width height < <(window_size "$MAIN")
click "$MAIN" $((width - 60)) $((height - 21))  # APPLY
for _ in $(seq 1 50); do
    [ "$(slot_bytes 1)" != "$before" ] && break
    sleep 0.1
done

expect_slot() {
    local slot=$1 expected=$2 actual
    actual=$(slot_bytes "$slot")
    [ "$actual" = "$expected" ] || fail "slot $slot holds '$actual', expected '$expected'"
}
expect_slot 1 "02 03 04 00 00 00 08"  # Shift+Ctrl+A
expect_slot 2 "0c 00 90 01 40 06 08"  # X 400, Y 1600
expect_slot 3 "00 08 00 00 00 00 08"  # BACK
expect_slot 4 "09 f1 00 00 00 00 08"  # CPI LOOP
expect_slot 6 "20 e2 00 00 00 00 08"  # MUTE
expect_slot 7 "ff 00 00 00 00 00 08"  # DISABLE
expect_slot 0 "00 01 00 00 00 00 08"  # LEFT CLICK, untouched
expect_slot 5 "09 f1 00 00 00 00 08"  # the slot without a row, untouched

# After a restart the buttons show the stored actions again: rows 2 to 6 look
# exactly as before; row 1 reads "Shift+A" now instead of the capture's "Shift+CTRL+A".
grab_rows before
cp "$FILE" "$WORK/applied.bin"
kill "$PROGRAM_PID"
wait "$PROGRAM_PID" 2>/dev/null || true
wait_gone "$TITLE"
start_program
sleep 0.5
grab_rows after
cmp -s "$FILE" "$WORK/applied.bin" || fail "the restart changed the memory file"
[ "$(compare -metric AE "$WORK/before-rows.png" "$WORK/after-rows.png" null: 2>&1)" = "0" ] ||
    fail "rows 2 to 6 look different after the restart"
[ "$(compare -metric AE "$WORK/before-row1.png" "$WORK/after-row1.png" null: 2>&1)" != "0" ] ||
    fail "row 1 still shows the capture's own text after the restart"
echo "PASS"
