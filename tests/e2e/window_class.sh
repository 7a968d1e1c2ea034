#!/usr/bin/env bash
# The main window's class (WM_CLASS) is the desktop entry's StartupWMClass, so
# a dock or task bar ties the running window to the entry's name and icon; and
# the window carries the icon itself (_NET_WM_ICON), set once it is on screen.
source "$(dirname "$0")/e2e_lib.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"
entry="$(dirname "$0")/../../packaging/io.github.kestrine.config.desktop"

expected=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$expected" ] || fail "the desktop entry has no StartupWMClass"

start_x
"$PROGRAM" --simulate >"$WORK/program.log" 2>&1 &
PIDS+=($!)
window=$(wait_for_window "$TITLE")
# WM_CLASS(STRING) = "instance", "class"
wm_class=$(xprop -id "$window" WM_CLASS)
class=$(sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p' <<<"$wm_class")
[ "$class" = "$expected" ] ||
    fail "the window's class is '$class' ($wm_class), the desktop entry says StartupWMClass=$expected"
# xprop lists each size the icon has: the largest drawn is 128.
has_icon() { xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (128 x 128)'; }
wait_until 5 "the window shows a 128x128 icon (_NET_WM_ICON)" has_icon
echo "PASS"
