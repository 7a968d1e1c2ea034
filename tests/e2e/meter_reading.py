#!/usr/bin/python3
"""The report-rate meter as a screen reader gets it, while the simulated mouse
is held moving with "Deliver only 1 in 8" ticked: the "Measured report rate"
reading carries the rate as its value (0 while still), the value is the figure
the window shows, and the hint that the rate is held back is announced once
when it appears, not again at each reading.

  meter_reading.py TITLE SIMULATOR_WINDOW_ID
Prints what failed and exits 1."""
import re
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from find_widget import find_node, window  # noqa: E402

TITLE, SIMULATOR = sys.argv[1], sys.argv[2]
EVENTS = []


def fail(message):
    subprocess.run(["xdotool", "mouseup", "1"])
    sys.exit("FAIL: " + message)


def pump(seconds):
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def figure(reading):
    """The value and the figure of the description, read with no change between."""
    for _ in range(10):
        description = reading.get_description() or ""
        value = reading.get_current_value()
        if (reading.get_description() or "") == description:
            shown = re.match(r"Measured: ([0-9,]+) Hz", description)
            return value, int(shown.group(1).replace(",", "")) if shown else None
    return None, None


def hint_told():
    return [text for kind, source, text in EVENTS
            if kind.startswith("object:text-changed:insert") and source == "Report rate hint"]


def on_event(event):
    EVENTS.append((event.type, event.source.get_name() or "", str(event.any_data)))


main = window(TITLE)
simulator = window("Simulated mouse")
if main is None or simulator is None:
    fail("the windows are not on the bus")
reading = find_node(main, "label", "Measured report rate")
if reading is None or reading.get_value_iface() is None:
    fail("the meter's reading has no value on the bus")
if reading.get_current_value() != 0:
    fail("a still mouse reads %s" % reading.get_current_value())

listener = Atspi.EventListener.new(on_event)
listener.register("object:text-changed:insert")
slowdown = find_node(simulator, "check box", "Deliver only 1 in 8")
move = find_node(simulator, "push button", "Move")
if slowdown is None or move is None:
    fail("the simulator has no 'Move' or 'Deliver only 1 in 8'")
slowdown.do_action(0)  # Toggle
# Held down with the pointer: the button moves the mouse while pressed.
e = move.get_extents(Atspi.CoordType.SCREEN)
subprocess.run(["xdotool", "windowraise", SIMULATOR], check=True)
subprocess.run(["xdotool", "mousemove", "--sync", str(e.x + e.width // 2),
                str(e.y + e.height // 2), "mousedown", "1"], check=True)

# The hint comes after three seconds of held-back movement.
end = time.monotonic() + 30
value, shown = None, None
while time.monotonic() < end and not (hint_told() and value):
    pump(0.2)
    value, shown = figure(reading)
if not value:
    fail("the moving mouse's reading has no value")
if value != shown:
    fail("the reading's value is %s while the window shows %s Hz" % (value, shown))
told = hint_told()
if len(told) != 1 or "well below" not in told[0]:
    fail("the hint was told as %s" % told)
# Further readings change the figure in the hint, without a word.
pump(2)
subprocess.run(["xdotool", "mouseup", "1"], check=True)
if len(hint_told()) != 1:
    fail("the hint was told %d times in two seconds of readings" % len(hint_told()))
print("meter_reading: value %s Hz as shown; hint told once: %s" % (value, told[0]))
