#!/usr/bin/env bash
# A click the user makes while the window waits for the mouse, through the
# real X server: the level write's wait takes 300 ms, and a second click,
# made inside it, on another level button is dropped when the write ends,
# never delivered late. A click after the wait works.
# Controls are found by what they say, on the accessibility bus.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"
FILE="$WORK/mouse.bin"

active_level() { od -An -tu1 -j13 -N1 "$FILE" | tr -d ' '; }
level_is() { [ "$(active_level)" = "$1" ]; }
writes() { od -An -tu8 -N8 "$XDG_RUNTIME_DIR/kestrine-config-device.lock" 2>/dev/null | tr -d ' '; }
centre() {
    local x y w h
    read -r x y w h < <(widget_rect "$TITLE" "radio button" "$1")
    echo "$((x + w / 2)) $((y + h / 2))"
}

start_x
start_accessibility
"$PROGRAM" --simulate="$FILE" >"$WORK/window.log" 2>&1 &
PIDS+=($!)
wait_for_window "$TITLE" >/dev/null
wait_until 10 "the simulated mouse's memory was not written" test -s "$FILE"
level_is 1 || fail "the factory level is $(active_level), expected 1"

widget_names "$TITLE" "radio button" >"$WORK/radios"
[ "$(wc -l <"$WORK/radios")" -ge 4 ] || fail "not four level buttons: $(cat "$WORK/radios")"
third=$(sed -n 3p "$WORK/radios")
fourth=$(sed -n 4p "$WORK/radios")
read -r x3 y3 < <(centre "$third")
read -r x4 y4 < <(centre "$fourth")

first=$(sed -n 1p "$WORK/radios")
writes_before=$(writes)
writes_before=${writes_before:-0}

# Both clicks go to the server at once; the second reaches the program while
# it waits after the first one's write.
xdotool mousemove --sync "$x3" "$y3" click 1 mousemove "$x4" "$y4" click 1
wait_until 10 "the first click's level did not reach the mouse" level_is 2
# The level is in the memory before the write's wait: this question on the
# accessibility bus is answered by the window's own thread, so only once the
# wait is over.
read -r x1 y1 < <(centre "$first")
# A click after the wait works; a late delivery of the dropped click would
# have come before it, as a write of its own.
xdotool mousemove --sync "$x1" "$y1" click 1
wait_until 10 "a click after the wait did not work" level_is 0
[ "$(writes)" = $((writes_before + 2)) ] ||
    fail "$(($(writes) - writes_before)) level writes for two clicks that counted: the click during the wait was delivered late"
echo "PASS"
