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
wait_for_window "Simulated mouse" >/dev/null

cat >"$WORK/reading.py" <<'PY'
import sys, time
import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

def walk(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child
            yield from walk(child)

def reading(title):
    desktop = Atspi.get_desktop(0)
    for a in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(a)
        for w in range(app.get_child_count() if app else 0):
            top = app.get_child_at_index(w)
            if top is not None and (top.get_name() or "").strip() == title:
                for node in walk(top):
                    if node.get_name() == "Measured report rate":
                        return node
    return None

node = reading(sys.argv[1])
if node is None or node.get_value_iface() is None:
    sys.exit("the meter's reading has no value on the bus")
# Until the mouse has moved for a moment there is no figure. The value and
# the description are read apart, so a pair counts only when the description
# did not change meanwhile.
deadline = time.monotonic() + float(sys.argv[2])
while True:
    first = node.get_description() or ""
    value = node.get_current_value()
    if (value > 0 and first == (node.get_description() or "")) or time.monotonic() > deadline:
        break
    time.sleep(0.1)
print("%s|%s" % (value, first))
PY

# Still: no reading yet, a value of 0.
before=$(/usr/bin/python3 "$WORK/reading.py" "$TITLE" 0) || fail "$before"
[ "${before%%|*}" = "0.0" ] || fail "a still mouse's reading is '$before'"

# Held moving (press and hold the simulator's Move button) for a while.
read -r x y w h < <(widget_rect "Simulated mouse" "push button" "Move")
xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) mousedown 1
after=$(/usr/bin/python3 "$WORK/reading.py" "$TITLE" 20) || fail "$after"
xdotool mouseup 1
value=${after%%|*}
description=${after#*|}
# The description says "Measured: 7,996 Hz, set to 8,000 Hz": the value is that figure.
figure=$(sed -n 's/^Measured: \([0-9,]*\) Hz.*/\1/p' <<<"$description" | tr -d ,)
[ -n "$figure" ] || fail "the reading is described as '$description'"
[ "${value%.0}" = "$figure" ] || fail "the reading's value is $value while it shows $figure Hz"
(( figure > 0 )) || fail "the moving mouse reads $figure Hz"
echo "meter_reading: the value $value matches '$description'"
