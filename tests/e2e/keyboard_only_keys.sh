#!/usr/bin/env bash
# KEYBOARD KEY from the keyboard alone, with no pointer, first on X11 and then
# on a Wayland compositor: F5 is chosen from the key list (Tab to the list,
# search, Tab to OK, Space), Ctrl+Shift+K is captured as pressed (Tab to OK,
# Enter), and a dialog left with Esc changes nothing; APPLY then writes the
# keys' bytes to the simulated mouse's memory file.
source "$(dirname "$0")/e2e_lib.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"
SOCKET=kestrine-e2e-keys

# slot_bytes FILE K: kind, code, x (2), y (2) and filter of slot K.
slot_bytes() {
    od -An -tx1 -v -j $((55 + 7 * $2)) -N7 "$1" | tr -s ' ' | sed 's/^ //;s/ $//'
}

keys() {
    xdotool key --delay 150 "$@"
    sleep 0.4
}

# open_dialog: KEYBOARD KEY from the focused row's menu. Xvfb runs no window
# manager, which would give a new window the keyboard: on X11 that is done here.
# open_menu: Space held as a hand holds it: a release that reaches a Wayland
# compositor before the program asked for the pop-up makes it dismiss it.
open_menu() {
    xdotool keydown space
    sleep 0.2
    xdotool keyup space
    sleep 0.5
}

# back_in_main: a compositor hands the keyboard back to the main window a
# moment after the dialog closed; keys sent before then are lost.
back_in_main() {
    sleep 1
}

# On Wayland the dialog is seen in the program's protocol log.
open_dialog() {
    local dialog shown
    if [ "$WHERE" = X11 ]; then
        open_menu
        keys Down Down Return
        dialog=$(wait_for_window "KEYBOARD KEY")
        xdotool windowfocus --sync "$dialog"
    else
        shown=$(grep -c 'set_title("KEYBOARD KEY")' "$LOG" || true)
        open_menu
        keys Down Down Return
        for _ in $(seq 1 100); do
            [ "$(grep -c 'set_title("KEYBOARD KEY")' "$LOG" || true)" -gt "$shown" ] && break
            sleep 0.1
        done
        [ "$(grep -c 'set_title("KEYBOARD KEY")' "$LOG" || true)" -gt "$shown" ] ||
            fail "$WHERE: KEYBOARD KEY did not open"
    fi
    sleep 0.5
}

# bind_keys FILE: from the first row's button of the Button Mapping page.
bind_keys() {
    local file=$1 before
    # Right Button: KEYBOARD KEY, F5 from the list.
    open_dialog
    # One key at a time: a key typed while the search's pop-up is opening can
    # land in the pop-up instead of the search.
    keys Tab
    keys f
    keys 5
    keys Down Return
    keys Tab Tab Tab Tab Tab space
    back_in_main
    # Middle Button: KEYBOARD KEY, Ctrl+Shift+K pressed in the key field.
    keys Tab
    open_dialog
    keys ctrl+shift+k
    keys Tab Tab Tab Tab Tab Tab Return
    back_in_main
    # Forward Button: KEYBOARD KEY, a key pressed, then Esc.
    keys Tab
    open_dialog
    keys a Escape
    back_in_main
    # Past Back Button, Wheel Up and Wheel Down to APPLY.
    before=$(md5sum <"$file")
    keys Tab Tab Tab Tab space
    for _ in $(seq 1 50); do
        [ "$(md5sum <"$file")" != "$before" ] && break
        sleep 0.1
    done
    check_slot "$file" 1 "02 00 3e 00 00 00 08" "F5 from the list"
    check_slot "$file" 2 "02 03 0e 00 00 00 08" "Ctrl+Shift+K captured"
    check_slot "$file" 3 "00 10 00 00 00 00 08" "FORWARD, kept after Esc"
}

check_slot() {
    local actual
    actual=$(slot_bytes "$1" "$2")
    [ "$actual" = "$3" ] || fail "$WHERE: slot $2 holds '$actual', expected '$3' ($4)"
}

start_x

# X11: the main window takes the keyboard; Ctrl+PageUp goes from the Basic
# page to Button Mapping, and Tab past "Left-handed Mode" to the first row.
WHERE=X11
"$PROGRAM" --simulate="$WORK/x11.bin" >"$WORK/x11-program.log" 2>&1 &
PIDS+=($!)
X11_PID=$!
MAIN=$(wait_for_window "$TITLE")
wait_for_window "Simulated mouse" >/dev/null
sleep 0.5
xdotool windowfocus --sync "$MAIN"
keys ctrl+Prior Tab
bind_keys "$WORK/x11.bin"
kill "$X11_PID"

# Wayland: weston nested in the X server, as the Wayland menu run does.
WHERE=Wayland
command -v weston >/dev/null || fail "weston is not installed (scripts/install-deps)"
# Without an input method: weston's own on-screen keyboard would come up over
# the key list's search field.
printf '[input-method]\npath=/bin/true\n' >"$WORK/weston.ini"
weston --config="$WORK/weston.ini" --backend=x11-backend.so --socket="$SOCKET" --idle-time=0 \
    --width=1100 --height=900 >"$WORK/weston.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 1 100); do
    [ -S "$XDG_RUNTIME_DIR/$SOCKET" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$SOCKET" ] || fail "weston did not start"
# Keys typed into the X server reach weston, whose window lies under the pointer.
xdotool mousemove 1050 850
LOG="$WORK/wayland.log"
WAYLAND_DISPLAY="$SOCKET" QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
    "$PROGRAM" --simulate="$WORK/wayland.bin" >"$LOG" 2>&1 &
PIDS+=($!)
for _ in $(seq 1 100); do
    grep -sq 'set_title("Simulated mouse")' "$LOG" && break
    sleep 0.1
done
grep -sq 'set_title("Simulated mouse")' "$LOG" || fail "the program's windows did not appear"
main_surface=$(grep -oE 'get_xdg_surface\(new id xdg_surface@[0-9]+, wl_surface@[0-9]+\)' "$LOG" |
    head -n 1 | grep -oE 'wl_surface@[0-9]+')
for _ in $(seq 1 100); do
    grep -sqE "wl_keyboard@[0-9]+\.enter\([0-9]+, wl_surface@" "$LOG" && break
    sleep 0.1
done
sleep 0.5
# The simulated mouse's window opened last and has the keyboard; weston's
# window switcher hands it to the main window.
keys super+Tab
last_enter=$(grep -oE 'wl_keyboard@[0-9]+\.enter\([0-9]+, wl_surface@[0-9]+' "$LOG" | tail -n 1)
[[ "$last_enter" == *"$main_surface" ]] || fail "Wayland: the main window did not get the keyboard"
keys ctrl+Prior Tab
bind_keys "$WORK/wayland.bin"
echo "PASS"
