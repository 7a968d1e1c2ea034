#!/usr/bin/env bash
# The package's postinst and postrm against a stand-in udev: with udevd
# running, installing and removing reload the rules and send a change event to
# the mouse's own hidraw nodes only; with no udevd (a chroot, an image being
# built, a container) neither calls udevadm at all.
#
# Runs the scripts as they are shipped, in private mount and PID namespaces
# where /run, /sys/class and the udevadm on PATH are the test's own, so the
# real system is not touched. Needs root for the namespaces; skipped without.
set -euo pipefail
source_dir=${1:?usage: $0 SOURCE_DIR}

if [ "${IN_NAMESPACE:-}" != 1 ]; then
    if ! unshare -m -p -f --mount-proc true 2>/dev/null; then
        echo "skipped: cannot make private mount and PID namespaces here (needs root)"
        exit 77
    fi
    IN_NAMESPACE=1 exec unshare -m -p -f --mount-proc "$0" "$@"
fi

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mount --make-rprivate /
mount -t tmpfs none /run
mount -t tmpfs none /sys/class

# Two hidraw nodes: the mouse's and another device's.
mkdir -p "$work/devices/0003:5B29:0C7E.0004" "$work/devices/0003:046D:C077.0001" /sys/class/hidraw/hidraw0 /sys/class/hidraw/hidraw3
ln -s "$work/devices/0003:046D:C077.0001" /sys/class/hidraw/hidraw0/device
ln -s "$work/devices/0003:5B29:0C7E.0004" /sys/class/hidraw/hidraw3/device

# udevadm records how it was called.
mkdir "$work/bin"
cat >"$work/bin/udevadm" <<'STUB'
#!/bin/sh
echo "udevadm $*" >>"$UDEVADM_LOG"
STUB
chmod +x "$work/bin/udevadm"
export PATH="$work/bin:$PATH" UDEVADM_LOG="$work/calls"

run() {  # script, argument: runs it as dpkg would, with the log emptied first
    : >"$work/calls"
    sh "$source_dir/debian/kestrine-config.$1" "$2" || fail "$1 $2 exited with $?"
}
expect_calls() {  # case, expected lines
    local expected
    expected=$(printf '%s\n' "${@:2}")
    [ "$(cat "$work/calls")" = "$expected" ] ||
        fail "$1: udevadm was called as
$(cat "$work/calls")
expected
$expected"
}

# No udevd: nothing.
run postinst configure
expect_calls "install without udevd"
run postrm purge
expect_calls "purge without udevd"

# udevd listening on its control socket.
mkdir /run/udev
perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 1) or die' \
    /run/udev/control
run postinst configure
expect_calls "install" "udevadm control --reload" \
    "udevadm trigger --action=change /sys/class/hidraw/hidraw3"
run postinst abort-upgrade
expect_calls "abort-upgrade"
run postrm remove
expect_calls "remove" "udevadm control --reload" \
    "udevadm trigger --action=change /sys/class/hidraw/hidraw3"
run postrm purge
expect_calls "purge" "udevadm control --reload" \
    "udevadm trigger --action=change /sys/class/hidraw/hidraw3"
run postrm upgrade
expect_calls "upgrade"
echo "PASS"
