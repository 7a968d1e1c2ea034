#!/usr/bin/env bash
# No usable single-instance lock: the runtime folder may be entered by others
# and the private folder under /tmp is not private either. The tool refuses
# to start with status 1 and names the folder and what is wrong with it,
# rather than run without the rule. Runs in a mount namespace of its own with
# a private /tmp, so the machine's /tmp is never touched; where namespaces
# are not allowed there is nothing to run.
source "$(dirname "$0")/e2e_lib.bash"
unset DISPLAY WAYLAND_DISPLAY  # no desktop: the refusal goes to stderr only

if ! unshare -m true 2>/dev/null; then
    echo "SKIP: no mount namespace for a private /tmp"
    exit 0
fi
# Outside /tmp, which the namespace replaces.
XDG_RUNTIME_DIR=$(mktemp -d -p /dev/shm)
trap 'rm -rf "$XDG_RUNTIME_DIR"; cleanup' EXIT
chmod 755 "$XDG_RUNTIME_DIR"
status=0
# The build may itself lie under /tmp: its folder is bound outside first, so the
# private /tmp does not hide the program.
programs=$(mktemp -d -p /dev/shm)
trap 'rm -rf "$XDG_RUNTIME_DIR" "$programs"; cleanup' EXIT
unshare -m sh -c '
    mount --bind "$(dirname "$0")" "$1" &&
    mount -t tmpfs tmpfs /tmp &&
    mkdir -m 755 "/tmp/kestrine-config-$(id -u)" &&
    exec "$1/$(basename "$0")" --simulate' "$PROGRAM" "$programs" >"$XDG_RUNTIME_DIR.log" 2>&1 ||
    status=$?
mv "$XDG_RUNTIME_DIR.log" "$WORK/refusal.log"
[ "$status" -eq 1 ] || fail "status $status, not 1: $(cat "$WORK/refusal.log")"
grep -q "kestrine-config-$(id -u) may be entered by other users (mode 0755" "$WORK/refusal.log" ||
    fail "the reason is not given: $(cat "$WORK/refusal.log")"
grep -q "$XDG_RUNTIME_DIR may be entered by other users" "$WORK/refusal.log" ||
    fail "the runtime folder's fault is not given: $(cat "$WORK/refusal.log")"
[ ! -e "$XDG_RUNTIME_DIR/kestrine-config.lock" ] || fail "the untrusted runtime folder was used"
echo "PASS"
