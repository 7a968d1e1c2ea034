# For end-to-end scripts that drive the Button Mapping page: its menus, the
# KEYBOARD KEY dialog fed from another window, APPLY, the simulated mouse's
# memory file and what the action buttons say on the accessibility bus.
# Source after e2e_lib.bash and accessibility.bash.
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
    local names
    names=$(widget_names "$TITLE" "push button")
    grep -Fxq -- "$1" <<<"$names"
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


# start_with_another_window: the X server, the bus, the program on its Button
# Mapping page, and another window for the keys to be typed into ($OTHER).
start_with_another_window() {
    start_x
    start_accessibility
    start_program
    xmessage -name other "another window" >/dev/null 2>&1 &
    PIDS+=($!)
    OTHER=$(wait_for_window other)
}
