#!/usr/bin/env bash
# The names that tie the desktop files together agree: the metainfo's id is
# the desktop entry's file name (so software centres find the entry), its
# launchable names that file, the entry's icon is the icon shipped, and the
# program tells the window system the same desktop file name (so a Wayland
# compositor shows the entry's name and icon for the window).
set -euo pipefail
source_dir=${1:?usage: $0 SOURCE_DIR}
packaging="$source_dir/packaging"
metainfo="$packaging/io.github.kestrine.config.metainfo.xml"
status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
[ -f "$packaging/$id.desktop" ] || fail "no desktop entry packaging/$id.desktop for the metainfo id $id"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ "$launchable" = "$id.desktop" ] || fail "the metainfo launches '$launchable', not $id.desktop"
icon=$(sed -n 's/^Icon=//p' "$packaging/$id.desktop" 2>/dev/null || true)
[ -f "$packaging/$icon.svg" ] || fail "the desktop entry's icon '$icon' is not packaging/$icon.svg"
grep -rqF "setDesktopFileName(\"$id\")" "$source_dir/src" ||
    fail "the program does not call setDesktopFileName(\"$id\")"
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
