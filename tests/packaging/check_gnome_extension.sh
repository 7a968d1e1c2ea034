#!/usr/bin/env bash
# Both forms of the GNOME Shell extension the build writes (GNOME 43-44's and
# 45's) pass GNOME's own packing checks (gnome-extensions pack reads the
# metadata.json and wants the extension.js), carry the uuid the agent asks
# for as their folder's name, as the Shell requires, and, loaded in gjs as
# their Shell loads them (45's against a stand-in of the Shell's Extension
# module, served from a resource as the Shell serves it), make the same D-Bus
# calls: those expected, which GNOME 43's makes on the real Shell too
# (tests/e2e/desktop_gnome.sh).
set -euo pipefail
forms_dir=${1:?usage: $0 BUILD/gnome-shell}
here=$(cd "$(dirname "$0")" && pwd)
uuid=kestrine-config-windows@kestrine.github.io
for program in gnome-extensions gjs glib-compile-resources dbus-run-session; do
    command -v "$program" >/dev/null || {
        echo "skipped: $program is not installed (scripts/install-deps)"
        exit 77
    }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
glib-compile-resources --sourcedir="$here/gnome_shell_stub" --target="$out/shell.gresource" \
    "$here/gnome_shell_stub/stub.gresource.xml"
for form in 43 45; do
    extension_dir="$forms_dir/$form/$uuid"
    mkdir "$out/$form"
    gnome-extensions pack --out-dir "$out/$form" "$extension_dir"
    [ -f "$out/$form/$uuid.shell-extension.zip" ] ||
        fail "gnome-extensions pack made no $uuid.shell-extension.zip of GNOME $form's form"
    grep -q "\"uuid\": \"$uuid\"" "$extension_dir/metadata.json" ||
        fail "GNOME $form's metadata.json names another uuid than its folder, $uuid"
    # The bus daemon's complaint about its file limit is no failure.
    dbus-run-session -- gjs -m "$here/gnome_extension_calls.js" "$form" "$extension_dir" \
        "$out/shell.gresource" >"$out/$form.calls" 2> >(grep -v "fd limit" >&2) ||
        fail "GNOME $form's form did not load or run in gjs"
    diff -u "$here/gnome_extension_calls.expected" "$out/$form.calls" ||
        fail "GNOME $form's form makes other D-Bus calls than expected"
done
echo PASS
