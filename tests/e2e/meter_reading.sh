#!/usr/bin/env bash
# The report-rate meter as a screen reader gets it: while the simulated mouse
# is held moving, the "Measured report rate" reading on the accessibility bus
# carries the rate as its value, and the value's text is what the window shows.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"

TITLE="Kestrine XQ3 8k v2 Configuration Tool"

start_x
start_accessibility
"$PROGRAM" --simulate="$WORK/mouse.bin" >"$WORK/program.log" 2>&1 &
PIDS+=($!)
wait_for_window "$TITLE" >/dev/null
mouse_window=$(wait_for_window "Simulated mouse")

# "VALUE|DESCRIPTION" of the meter's reading, once the value is above 0 or
# after $1 seconds.
reading() {
    local found="" tries=$(( $1 * 10 + 1 ))
    for _ in $(seq "$tries"); do
        found=$(/usr/bin/python3 "$(dirname "$0")/find_widget.py" --reading "$TITLE" label \
            "Measured report rate") || fail "the meter's reading has no value on the bus"
        [ "${found%%|*}" = "0.0" ] || break
        sleep 0.1
    done
    echo "$found"
}

# Still: no figure yet, a value of 0.
before=$(reading 0)
[ "${before%%|*}" = "0.0" ] || fail "a still mouse's reading is '$before'"

# Held moving (press and hold the simulator's Move button) for a while.
xdotool windowraise "$mouse_window"
read -r x y w h < <(widget_rect "Simulated mouse" "push button" "Move")
xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) mousedown 1
after=$(reading 20)
xdotool mouseup 1
value=${after%%|*}
description=${after#*|}
# The description says "Measured: 7,996 Hz, set to 8,000 Hz": the value is that figure.
figure=$(sed -n 's/^Measured: \([0-9,]*\) Hz.*/\1/p' <<<"$description" | tr -d ,)
[ -n "$figure" ] || fail "the reading is described as '$description'"
[ "${value%.0}" = "$figure" ] || fail "the reading's value is $value while it shows $figure Hz"
(( figure > 0 )) || fail "the moving mouse reads $figure Hz"
echo "meter_reading: the value $value matches '$description'"
