#!/usr/bin/python3
"""Walks the running program's accessibility bus as a screen reader does and
checks what it would say: every focusable control has a name, track bars give
the value the user sees (in CPI), the shown page's tab is the selected one, the
status line is a status bar whose changes arrive as events carrying the new
text, and the Button Mapping buttons offer to show their menu; the drawing of
the mouse is one image, and a button held on the mouse makes its row pressed.

  walk_bus.py TITLE
Prints what failed and exits 1 on the first failure."""
import subprocess
import sys
import warnings
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

from atspi_tree import walk as walk_tree, window  # noqa: E402

TITLE = sys.argv[1]
warnings.simplefilter("ignore", DeprecationWarning)  # get_action_name: the only way in 2.46
EVENTS = []


FAILURES = []


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def check(ok, message):
    """A wrong answer is noted and the walk goes on, so one run lists them all."""
    if not ok:
        print("FAIL: " + message, file=sys.stderr)
        FAILURES.append(message)
    return ok


def pump(seconds=0.0):
    """Lets bus events arrive for a while."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.iteration(False):
            pass
        if time.monotonic() >= end:
            return
        time.sleep(0.02)


def wait_for(what, check, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump()
        result = check()
        if result:
            return result
        time.sleep(0.05)
    fail(what + " (waited %ss)" % seconds)


def has(node, state):
    return node.get_state_set().contains(state)


def name(node):
    return node.get_name() or ""


def walk(node):
    return walk_tree(node, ("combo box", "page tab list"))


def find(top, role, wanted=None):
    for node in walk(top):
        if node.get_role_name() == role and (wanted is None or name(node) == wanted):
            return node
    return None


def act(node, action):
    actions = [Atspi.Action.get_action_name(node, i) for i in range(node.get_n_actions())]
    if action not in actions:
        fail("%s '%s' offers no '%s' action: %s" % (node.get_role_name(), name(node), action, actions))
    node.do_action(actions.index(action))


def events_since(start, kind, source=None):
    return [e for e in EVENTS[start:]
            if e[0].startswith(kind) and (source is None or e[3] == source)]


def on_event(event):
    EVENTS.append((event.type, event.detail1, event.any_data, event.source))


listener = Atspi.EventListener.new(on_event)
for kind in ("object:state-changed:selected", "object:text-changed:insert",
             "object:property-change:accessible-name"):
    listener.register(kind)

main = wait_for("no window '%s' on the bus" % TITLE, lambda: window(TITLE), 30)
reset = wait_for("no Factory Reset button", lambda: find(main, "push button", "Factory Reset"))
wait_for("Factory Reset never came on: no mouse connected",
         lambda: has(reset, Atspi.StateType.SENSITIVE))


def check_names():
    for node in walk(main):
        if has(node, Atspi.StateType.FOCUSABLE) and not name(node).strip():
            parent = node.get_parent()
            check(False, "a focusable %s in the %s '%s' has no name" % (
                node.get_role_name(), parent.get_role_name(), name(parent)))


def check_drawing_and_held_button():
    """The drawing is one image without parts or focus; a button held on the
    simulated mouse (its window's button held down with the real pointer)
    makes its row's button pressed, and letting go ends it."""
    drawing = find(main, "image", "Drawing of the mouse")
    if check(drawing is not None, "no image named 'Drawing of the mouse'"):
        check(drawing.get_child_count() == 0 and not has(drawing, Atspi.StateType.FOCUSABLE),
              "the drawing of the mouse has parts or takes the focus")
    simulator = wait_for("no simulated mouse window", lambda: window("Simulated mouse"))
    held = find(simulator, "push button", "Forward")
    row = find(main, "push button", "FORWARD")
    if not check(held is not None and row is not None, "no simulated Forward button or row"):
        return
    box = held.get_extents(Atspi.CoordType.SCREEN)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "mousedown", "1"], check=True)
    try:
        wait_for("the row 'FORWARD' is not pressed while the forward button is held",
                 lambda: has(row, Atspi.StateType.PRESSED))
    finally:
        subprocess.run(["xdotool", "mouseup", "1"], check=True)
    wait_for("the row 'FORWARD' stays pressed after the button was let go",
             lambda: not has(row, Atspi.StateType.PRESSED))


# ------------------------------------------------------------- page tabs
tabs = find(main, "page tab list")
if tabs is None:
    fail("no page tab list")
pages = [tabs.get_child_at_index(i) for i in range(tabs.get_child_count())]
pages = [tab for tab in pages if tab.get_role_name() == "page tab"]
titles = [name(tab) for tab in pages]
check(titles == ["Basic", "Advanced Sensor", "Buttons", "Button Mapping"],
      "the tabs are named %s" % titles)
for index in list(range(1, len(titles))) + [0]:
    tab = pages[index]
    start = len(EVENTS)
    act(tab, "Press")
    pump(1)
    check([e for e in events_since(start, "object:state-changed:selected", tab) if e[1] == 1],
          "no selected-state event for the tab '%s'" % titles[index])
    selected = [titles[i] for i in range(len(titles))
                if has(pages[i], Atspi.StateType.SELECTED)]
    check(selected == [titles[index]],
          "with '%s' shown the selected tabs are %s" % (titles[index], selected))
    pump(0.3)
    check_names()
    if titles[index].strip() == "Button Mapping":
        # Qt 6.4 does not put the has-popup state on the bus: the action says it.
        def actions(node):
            return [Atspi.Action.get_action_name(node, i) for i in range(node.get_n_actions())]
        menus = [n for n in walk(main) if n.get_role_name() == "push button"
                 and "ShowMenu" in actions(n)]
        check(len(menus) >= 6,
              "only %d Button Mapping buttons offer to show their menu" % len(menus))
        check_drawing_and_held_button()

# ------------------------------------------------------------- track bars
for level in range(1, 5):
    for axis in "XY":
        label = "CPI %d %s" % (level, axis)
        slider = find(main, "slider", label)
        field = find(main, "text", label)
        if slider is None or field is None:
            fail("no slider and field named '%s'" % label)
        shown = field.get_text(0, -1)
        value = slider.get_current_value()
        check(value == float(shown),
              "the slider '%s' says %s while its field shows %s" % (label, value, shown))
        low, high = slider.get_minimum_value(), slider.get_maximum_value()
        check((low, high) == (10, 30000),
              "the slider '%s' ranges over %s..%s, not 10..30000 CPI" % (label, low, high))
slider = find(main, "slider", "CPI 2 X")
description = slider.get_description()
slider.set_current_value(2500)
pump(1)
check(find(main, "text", "CPI 2 X").get_text(0, -1) == "2500",
      "a value of 2500 set on 'CPI 2 X' did not reach its field")
check(slider.get_current_value() == 2500,
      "'CPI 2 X' says %s after 2500 was set" % slider.get_current_value())
check(slider.get_description() == description,
      "the description of 'CPI 2 X' changed with its value")

# ------------------------------------------------------------- status line
status = find(main, "status bar")
if not check(status is not None, "no status bar"):
    sys.exit(1)


def status_event(start, words):
    return [e for e in events_since(start, "object:text-changed:insert", status)
            if words in str(e[2])]


def announced_once(start, texts):
    """Each status change in `texts` reached the bus once: one new name each,
    and text events that carry only that change's text, in order. (Qt's
    bridge sends each text change of any widget as more than one pair of
    delete and insert, the CPI fields' too: the pairs are counted as one.)"""
    pump(0.5)
    names = events_since(start, "object:property-change:accessible-name", status)
    check(len(names) == len(texts),
          "%d name changes of the status bar for the %d status changes %s"
          % (len(names), len(texts), texts))
    said = []
    for e in events_since(start, "object:text-changed:insert", status):
        if not said or said[-1] != str(e[2]):
            said.append(str(e[2]))
    check(len(said) == len(texts) and all(t in s for t, s in zip(texts, said)),
          "the status bar's text events said %s for the status changes %s" % (said, texts))


# The edit above made the confirmation of start-up untrue: the line said so, once.
wait_for("no text event saying that the changes are not applied",
         lambda: status_event(0, "Changes not applied"))
start = len(EVENTS)
act(find(main, "push button", "APPLY"), "Press")
wait_for("no text event carrying the APPLY confirmation",
         lambda: status_event(start, "Settings saved"))
if "Settings saved" not in name(status):
    fail("after APPLY the status bar says '%s'" % name(status))
announced_once(start, ["Writing the settings to the mouse", "Settings saved on the mouse."])

start = len(EVENTS)
slider.set_current_value(2600)
wait_for("no text event saying that the new edit is not applied",
         lambda: status_event(start, "Changes not applied"))
announced_once(start, ["Changes not applied"])

simulator = wait_for("no simulated mouse window", lambda: window("Simulated mouse"))
start = len(EVENTS)
act(find(simulator, "push button", "Unplug"), "Press")
wait_for("no text event carrying the news that the mouse went away",
         lambda: status_event(start, "mouse"))
gone = status_event(start, "mouse")[-1][2]
if name(status) != gone:
    fail("the status bar says '%s' but the event said '%s'" % (name(status), gone))

act(find(simulator, "check box", "Deny access"), "Toggle")
start = len(EVENTS)
act(find(simulator, "push button", "Plug in"), "Press")
copy = wait_for("no 'Copy commands' button when access is denied",
                lambda: find(main, "push button", "Copy commands"))
if "udev" not in (copy.get_description() or ""):
    fail("the 'Copy commands' button is described as '%s'" % copy.get_description())
if not status_event(start, name(status)[:20]):
    fail("no text event said '%s'" % name(status))
check_names()
start = len(EVENTS)
act(copy, "Press")
wait_for("no text event confirming the copy", lambda: status_event(start, "copied"))
if FAILURES:
    sys.exit(1)
print("walk_bus: all checks passed")
