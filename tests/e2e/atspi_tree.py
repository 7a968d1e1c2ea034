"""What the e2e scripts read of a running program's accessibility tree: its
top-level windows by title and the widgets on screen under them."""
import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def showing(node):
    return node.get_state_set().contains(Atspi.StateType.SHOWING)


def window(title):
    """The showing top-level window with exactly this title (blanks around it aside), or None."""
    desktop = Atspi.get_desktop(0)
    for a in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(a)
        for w in range(app.get_child_count() if app else 0):
            top = app.get_child_at_index(w)
            if top is not None and (top.get_name() or "").strip() == title and showing(top):
                return top
    return None


def walk(node, closed_roles=("combo box",)):
    """Every showing widget under node; the children of `closed_roles` (a
    drop-down's item list, say) are left out."""
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is None or not showing(child):
            continue
        yield child
        if child.get_role_name() not in closed_roles:
            yield from walk(child, closed_roles)
