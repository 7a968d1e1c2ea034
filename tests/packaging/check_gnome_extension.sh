#!/usr/bin/env bash
# The GNOME Shell extension passes GNOME's own packing checks (gnome-extensions
# pack reads its metadata.json and wants its extension.js), and its uuid is
# its folder's name, as the Shell requires, and the one the agent asks for.
set -euo pipefail
extension_dir=${1:?usage: $0 packaging/gnome-shell/UUID}
command -v gnome-extensions >/dev/null || {
    echo "skipped: gnome-extensions is not installed (scripts/install-deps)"
    exit 77
}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
uuid=$(basename "$extension_dir")
gnome-extensions pack --out-dir "$out" "$extension_dir"
[ -f "$out/$uuid.shell-extension.zip" ] || {
    echo "FAIL: gnome-extensions pack made no $uuid.shell-extension.zip" >&2
    exit 1
}
grep -q "\"uuid\": \"$uuid\"" "$extension_dir/metadata.json" || {
    echo "FAIL: metadata.json names another uuid than its folder, $uuid" >&2
    exit 1
}
echo PASS
