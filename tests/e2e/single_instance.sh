#!/usr/bin/env bash
# The program shows its titled window; a second start while it runs ends at
# once with status 0, shows no second window, and brings the running window
# to the front with the keyboard focus.
source "$(dirname "$0")/e2e_lib.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"

# The stacking position of a top-level window, 1 = topmost (no window manager
# runs, so the program's windows are the root's children, listed top first).
stack_position() {
    xwininfo -root -children | awk -v id="$(printf '0x%x' "$1")" '$1 == id { print NR; exit }'
}

# True when window $1 is stacked above window $2.
above() {
    [ "$(stack_position "$1")" -lt "$(stack_position "$2")" ]
}

start_x
"$PROGRAM" --simulate >"$WORK/first.log" 2>&1 &
PIDS+=($!)
main=$(wait_for_window "$TITLE")
other=$(wait_for_window "Simulated mouse")
[ -S "$XDG_RUNTIME_DIR/kestrine-config.socket" ] || fail "the running instance does not listen beside its lock"

# Put the other window in front and give it the focus. The pointer then
# moves over it, as a user's would: X takes a focus request only when it is
# newer than the last focus change, and the program dates its requests by
# the last input it saw.
xdotool windowraise "$other" windowfocus "$other"
for _ in $(seq 1 50); do
    [ "$(xdotool getwindowfocus)" = "$other" ] && above "$other" "$main" && break
    sleep 0.1
done
[ "$(xdotool getwindowfocus)" = "$other" ] && above "$other" "$main" ||
    fail "could not put the other window in front"
xdotool mousemove --window "$other" 10 10
sleep 0.2

timeout 20 "$PROGRAM" --simulate >"$WORK/second.log" 2>&1 || fail "second start exited with status $?"
[ ! -s "$WORK/second.log" ] || fail "second start printed: $(cat "$WORK/second.log")"
[ "$(count_windows "$TITLE")" -eq 1 ] || fail "more than one main window"
kill -0 "${PIDS[-1]}" || fail "the first instance ended"

raised=""
for _ in $(seq 1 50); do
    if [ "$(xdotool getwindowfocus)" = "$main" ] && above "$main" "$other"; then
        raised=yes
        break
    fi
    sleep 0.1
done
[ -n "$raised" ] || fail "the running window was not brought to the front (focus on $(xdotool getwindowfocus), main $main)"

# With the running instance's socket gone, a second start still ends quietly.
rm "$XDG_RUNTIME_DIR/kestrine-config.socket"
timeout 20 "$PROGRAM" --simulate >"$WORK/third.log" 2>&1 || fail "start without a socket exited with status $?"
[ "$(count_windows "$TITLE")" -eq 1 ] || fail "more than one main window"
echo "PASS"
