#!/bin/sh
# Second stage of the test VM, PID 1 in the overlay of the host's /.
# usage: stage2.sh JOB, where JOB (written by run-vm-tests.sh) sets BUSYBOX,
# KERNEL_MODULES, UDEV_RULE, SEAT_RULE, UHID_MOUSE, WATCHDOG and STEPS, and
# defines step_1 ... step_STEPS (with step_N_text, its command line). Runs
# every step, prints "kestrine-vm: result N" (0 when every step passed) and
# powers off.

export PATH=/usr/sbin:/usr/bin:/sbin:/bin
say() { echo "kestrine-vm: $*"; }
# Seconds since boot, to see where the stage spends its time.
uptime_s() { cut -d' ' -f1 /proc/uptime; }
. "$1" || { say "cannot read the job $1"; say "result 125"; /bin/busybox poweroff -f; }

finish() {
    say "result $1 at $(uptime_s)s"
    sync
    "$BUSYBOX" poweroff -f
    sleep 30  # never let PID 1 exit before the power is off (kernel panic)
}

# A hung test must not hold the run: end it with a clear line instead.
(
    sleep "$WATCHDOG"
    say "WATCHDOG: the tests did not finish within ${WATCHDOG}s, powering off"
    finish 124
) &

mkdir -p /etc/udev/rules.d
for rule in "$UDEV_RULE" "$SEAT_RULE"; do
    if [ -f "$rule" ]; then
        install -m 644 "$rule" /etc/udev/rules.d/
    else
        say "no udev rule at $rule"
    fi
done
/lib/systemd/systemd-udevd --daemon || finish 126
# Loaded after udevd started, so that it sees and handles every HID device.
# evdev: the key table's test reads a virtual keyboard's key codes.
for module in hid uhid hid-generic evdev; do
    "$BUSYBOX" insmod "$KERNEL_MODULES/$module.ko" || { say "cannot load $module"; finish 126; }
done
udevadm settle --timeout=10

export KESTRINE_UHID_MOUSE="$UHID_MOUSE"
export GTEST_COLOR=no
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=/run/user/0
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

# Every step runs, also after one failed, so that one run tells everything.
result=0
step=1
while [ "$step" -le "$STEPS" ]; do
    eval "say \"step $step at $(uptime_s)s: \$step_${step}_text\""
    "step_$step"
    status=$?
    if [ "$status" -ne 0 ]; then
        say "step $step FAILED with status $status"
        result=1
    fi
    step=$((step + 1))
done
finish $result
