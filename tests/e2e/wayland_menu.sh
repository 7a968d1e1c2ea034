#!/usr/bin/env bash
# On a Wayland compositor the keyboard alone reaches the Button Mapping page
# (Ctrl+PageUp), opens a row's action menu with Space, chooses an action and
# applies it: the menu must stay open (a compositor dismisses a pop-up that
# asks with the serial of an older input event), and the action must reach
# the simulated mouse's memory file. Runs weston nested in a private X server.
source "$(dirname "$0")/e2e_lib.bash"
FILE="$WORK/mouse.bin"
SOCKET=kestrine-e2e-wayland
LOG="$WORK/wayland.log"

command -v weston >/dev/null || fail "weston is not installed (scripts/install-deps)"
start_x
weston --no-config --backend=x11-backend.so --socket="$SOCKET" --idle-time=0 \
    --width=1100 --height=900 >"$WORK/weston.log" 2>&1 &
PIDS+=($!)
wait_until 10 "weston did not start" test -S "$XDG_RUNTIME_DIR/$SOCKET"
# Keys typed into the X server reach weston, whose window lies under the pointer.
xdotool mousemove 1050 850

WAYLAND_DISPLAY="$SOCKET" QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
    "$PROGRAM" --simulate="$FILE" >"$LOG" 2>&1 &
PIDS+=($!)

# The main window is the first toplevel; the simulated mouse's window opens
# after it and takes the keyboard, so weston's window switcher hands it back.
wait_log() {
    wait_until 10 "$2" grep -sqE "$1" "$LOG"
}
# The surface that last got the keyboard, from line $1 of the log on.
keyboard_surface() {
    tail -n +"${1:-1}" "$LOG" | grep -oE 'wl_keyboard@[0-9]+\.enter\([0-9]+, wl_surface@[0-9]+' |
        tail -n 1 | grep -oE 'wl_surface@[0-9]+$' || true
}
keyboard_on() {
    [ "$(keyboard_surface)" = "$1" ]
}
keyboard_elsewhere_than() {
    local surface
    surface=$(keyboard_surface)
    [ -n "$surface" ] && [ "$surface" != "$1" ]
}
wait_log 'set_title\("Simulated mouse"\)' "the program's windows did not appear"
main_surface=$(grep -oE 'get_xdg_surface\(new id xdg_surface@[0-9]+, wl_surface@[0-9]+\)' "$LOG" |
    head -n 1 | grep -oE 'wl_surface@[0-9]+')
wait_until 10 "the simulated mouse's window did not get the keyboard" \
    keyboard_elsewhere_than "$main_surface"
xdotool key super+Tab
wait_until 10 "the main window did not get the keyboard" keyboard_on "$main_surface"

# Basic page -> Button Mapping, past "Left-handed Mode" to the first row's button.
xdotool key --delay 150 ctrl+Prior Tab
before=$(wc -l <"$LOG")
since_space() {
    tail -n +"$before" "$LOG" | grep -qE "$1"
}
# Held as a hand holds it, until the program has asked for the pop-up: a
# release that reaches the compositor before makes the press's serial an old one.
xdotool keydown space
wait_until 10 "Space opened no menu" since_space 'xdg_popup@[0-9]+\.grab'
xdotool keyup space
# The compositor either shows the menu (its surface enters the output) or dismisses it.
menu_settled() {
    since_space 'popup_done' || since_space 'wl_surface@[0-9]+\.enter\(wl_output@'
}
wait_until 10 "the menu was neither shown nor dismissed" menu_settled
! since_space 'popup_done' || fail "the compositor dismissed the menu"

# "DISABLE" is the menu's last item; then Tab past the other five rows to APPLY.
xdotool key --delay 150 Up Return Tab Tab Tab Tab Tab Tab space
right_button_disabled() {
    [ "$(od -An -tx1 -j 62 -N1 "$FILE" | tr -d ' ')" = ff ]
}
wait_until 10 "the right button's action in the memory file did not become DISABLE (ff)" \
    right_button_disabled
echo "PASS"
