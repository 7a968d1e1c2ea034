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
for _ in $(seq 1 100); do
    [ -S "$XDG_RUNTIME_DIR/$SOCKET" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$SOCKET" ] || fail "weston did not start"
# Keys typed into the X server reach weston, whose window lies under the pointer.
xdotool mousemove 1050 850

WAYLAND_DISPLAY="$SOCKET" QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
    "$PROGRAM" --simulate="$FILE" >"$LOG" 2>&1 &
PIDS+=($!)

# The main window is the first toplevel; the simulated mouse's window opens
# after it and takes the keyboard, so weston's window switcher hands it back.
wait_log() {
    for _ in $(seq 1 100); do
        grep -sqE "$1" "$LOG" && return 0
        sleep 0.1
    done
    fail "$2"
}
wait_log 'set_title\("Simulated mouse"\)' "the program's windows did not appear"
main_surface=$(grep -oE 'get_xdg_surface\(new id xdg_surface@[0-9]+, wl_surface@[0-9]+\)' "$LOG" |
    head -n 1 | grep -oE 'wl_surface@[0-9]+')
wait_log "wl_keyboard@[0-9]+\.enter\([0-9]+, wl_surface@" "no window got the keyboard"
sleep 0.5
xdotool key super+Tab
sleep 0.5
last_enter=$(grep -oE 'wl_keyboard@[0-9]+\.enter\([0-9]+, wl_surface@[0-9]+' "$LOG" | tail -n 1)
[[ "$last_enter" == *"$main_surface" ]] || fail "the main window did not get the keyboard"

# Basic page -> Button Mapping, past "Left-handed Mode" to the first row's button.
xdotool key --delay 150 ctrl+Prior Tab
before=$(wc -l <"$LOG")
# Held as a hand holds it: a release that reaches the compositor before the
# program has asked for the pop-up makes the press's serial an old one.
xdotool keydown space
sleep 0.2
xdotool keyup space
sleep 1
after=$(tail -n +"$before" "$LOG")
grep -qE 'xdg_popup@[0-9]+\.grab' <<<"$after" || fail "Space opened no menu"
! grep -qE 'popup_done' <<<"$after" || fail "the compositor dismissed the menu"

# "DISABLE" is the menu's last item; then Tab past the other five rows to APPLY.
xdotool key --delay 150 Up Return Tab Tab Tab Tab Tab Tab space
for _ in $(seq 1 50); do
    [ "$(od -An -tx1 -j 62 -N1 "$FILE" | tr -d ' ')" = ff ] && break
    sleep 0.1
done
kind=$(od -An -tx1 -j 62 -N1 "$FILE" | tr -d ' ')
[ "$kind" = ff ] || fail "the right button's action in the memory file is $kind, not DISABLE (ff)"
echo "PASS"
