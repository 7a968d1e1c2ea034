#!/usr/bin/python3
"""Prints the screen rectangle (x y width height) of a widget of a running
program, found through the accessibility bus by what a user reads on it.

  find_widget.py WINDOW ROLE NAME
      a widget with that role and name
  find_widget.py WINDOW ROLE "right of LABEL"
      the nearest widget with that role on the same row as a label, right of it
  find_widget.py --names WINDOW ROLE
      instead of a rectangle, what every widget with that role says, one a line

WINDOW is the exact title of a top-level window; names are compared without
surrounding blanks. Only widgets on screen count (hidden tab pages do not).
Exits 1 when nothing matches."""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

from atspi_tree import walk as widgets, window  # noqa: E402


def rect(node):
    e = node.get_extents(Atspi.CoordType.SCREEN)
    return e.x, e.y, e.width, e.height


def find_node(top, role, name):
    for node in widgets(top):
        if node.get_role_name() == role and (node.get_name() or "").strip() == name:
            return node
    return None


def find(top, role, name):
    node = find_node(top, role, name)
    return rect(node) if node else None


def right_of(top, role, label):
    found = find(top, "label", label)
    if not found:
        return None
    lx, ly, lw, lh = found
    middle = ly + lh / 2
    best = None
    for node in widgets(top):
        if node.get_role_name() != role:
            continue
        x, y, w, h = rect(node)
        if x > lx + lw and y <= middle <= y + h and (best is None or x < best[0]):
            best = (x, y, w, h)
    return best


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--names":
        top = window(sys.argv[2])
        if top is None:
            sys.exit(1)
        for node in widgets(top):
            if node.get_role_name() == sys.argv[3]:
                print((node.get_name() or "").strip())
        return
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    title, role, name = sys.argv[1:]
    top = window(title)
    result = None
    if top is not None:
        if name.startswith("right of "):
            result = right_of(top, role, name[len("right of ") :])
        else:
            result = find(top, role, name)
    if result is None:
        sys.exit(1)
    print(*result)


if __name__ == "__main__":
    main()
