#!/usr/bin/env bash
# Runs test programs inside a Debian kernel under QEMU (software emulation),
# all in one boot: the host's / is shared read-only over virtio-9p, so the
# build's binaries run in the VM unchanged. Inside, systemd-udevd runs with
# the project's udev rule installed (and a stand-in for the seat's uaccess,
# 72-kestrine-vm-seat.rules), and the uhid mouse gives the kernel a mouse.
#
# usage: run-vm-tests.sh SOURCE_DIR UHID_MOUSE -- STEP... [-- STEP...]...
# Each STEP is a command (a program and its arguments) run as root inside the
# VM, in the order given, each after the one before ended; the run passes
# when every step exits 0. Steps see KESTRINE_UHID_MOUSE (the uhid mouse
# program), GTEST_COLOR=no, QT_QPA_PLATFORM=offscreen, and GTEST_FILTER when
# it is set here (e.g. GTEST_FILTER='HotplugRoad*' ctest -R vm).
# Exit: 0 when the steps passed; 77 (skip) when QEMU cannot run here at all;
# 1 with a clear message for every other failure, a hang included.
#
# For a look inside: KESTRINE_VM_KEEP=1 keeps the work folder (console log,
# initramfs, job), KESTRINE_VM_QUIET= shows the kernel's messages,
# KESTRINE_VM_WATCHDOG=SECONDS changes the VM's limit, KESTRINE_VM_KERNEL_DIR
# names another kernel folder (kernel + modules/*.ko).
set -euo pipefail

readonly kSkip=77
# Seconds the VM may take before its own watchdog powers it off, and the host's
# limit on QEMU beyond that (a VM too stuck for its watchdog).
readonly kVmWatchdog=${KESTRINE_VM_WATCHDOG:-150}
readonly kHostLimit=$((kVmWatchdog + 30))

fail() {
    echo "vm.real_kernel: FAILED: $*" >&2
    exit 1
}

usage="usage: $0 SOURCE_DIR UHID_MOUSE -- STEP... [-- STEP...]..."
[ $# -ge 4 ] && [ "$3" = -- ] || fail "$usage"
source_dir=$(realpath "$1")
uhid_mouse=$(realpath "$2")
shift 2

# The steps, one shell line each, every word quoted for the VM's shell.
steps=()
programs=()
while [ $# -gt 0 ]; do
    [ "$1" = -- ] && [ $# -ge 2 ] && [ "$2" != -- ] || fail "$usage"
    shift
    programs+=("$1")
    step=""
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        step+="${step:+ }$(printf '%q' "$1")"
        shift
    done
    steps+=("$step")
done

qemu=$(command -v qemu-system-x86_64 || true)
if [ -z "$qemu" ]; then
    echo "vm.real_kernel: SKIPPED: qemu-system-x86_64 is not installed (scripts/install-deps installs it)"
    exit $kSkip
fi
if ! "$qemu" -accel help 2>/dev/null | grep -qx tcg; then
    echo "vm.real_kernel: SKIPPED: this QEMU has no software emulation (tcg)"
    exit $kSkip
fi

kernel_dir=${KESTRINE_VM_KERNEL_DIR:-${XDG_CACHE_HOME:-~/.cache}/kestrine-config/vm-kernel/current}
[ -f "$kernel_dir/kernel" ] ||
    fail "no VM kernel in $kernel_dir: run scripts/install-deps, which fetches it from Debian's archive"
busybox=$(command -v busybox || true)
# Static: the initramfs holds no libraries.
[ -n "$busybox" ] && ! readelf -l "$busybox" 2>/dev/null | grep -q INTERP ||
    fail "a static busybox is needed for the VM's initramfs: run scripts/install-deps (busybox-static)"
udevd=/lib/systemd/systemd-udevd  # started inside the VM, from the host's /
[ -x "$udevd" ] || fail "$udevd is missing: run scripts/install-deps (udev)"
command -v cpio >/dev/null || fail "cpio is missing: run scripts/install-deps"
[ -x "$uhid_mouse" ] || fail "$uhid_mouse has not been built"
for program in "${programs[@]}"; do
    [ -x "$program" ] || fail "$program has not been built"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrine-vm.XXXXXX")
trap '[ -n "${KESTRINE_VM_KEEP:-}" ] || rm -rf "$work"' EXIT
chmod 755 "$work"  # read by root inside the VM, but through the host's permissions
# Its path travels on the kernel command line, which splits at blanks.
[[ "$work" != *[[:space:]]* ]] || fail "the temporary folder $work has blanks in its path; set TMPDIR"

# The initramfs: busybox, /init, and the modules that reach the host's /.
mkdir -p "$work/initramfs/bin" "$work/initramfs/modules" "$work/initramfs/proc" \
    "$work/initramfs/sys" "$work/initramfs/dev"
cp "$busybox" "$work/initramfs/bin/busybox"
for applet in $("$busybox" --list); do
    # Linking busybox to itself would replace the binary with a loop.
    [ "$applet" = busybox ] || ln -s busybox "$work/initramfs/bin/$applet"
done
install -m 755 "$source_dir/tests/vm/init.sh" "$work/initramfs/init"
install -m 755 "$source_dir/tests/vm/stage2.sh" "$work/stage2.sh"
cp "$kernel_dir"/modules/*.ko "$work/initramfs/modules/"
(cd "$work/initramfs" && find . | cpio -o -H newc --quiet) >"$work/initramfs.cpio"

# The job, read by stage2.sh inside the VM.
q() { printf '%q' "$1"; }
{
    echo "BUSYBOX=$(q "$busybox")"
    echo "KERNEL_MODULES=$(q "$(realpath "$kernel_dir")/modules")"
    echo "UDEV_RULE=$(q "$source_dir/packaging/70-kestrine-xq3.rules")"
    echo "SEAT_RULE=$(q "$source_dir/tests/vm/72-kestrine-vm-seat.rules")"
    echo "UHID_MOUSE=$(q "$uhid_mouse")"
    echo "WATCHDOG=$kVmWatchdog"
    [ -z "${GTEST_FILTER:-}" ] || echo "export GTEST_FILTER=$(q "$GTEST_FILTER")"
    echo "STEPS=${#steps[@]}"
    for i in "${!steps[@]}"; do
        echo "step_$((i + 1))() { ${steps[$i]}; }"
        echo "step_$((i + 1))_text=$(q "${steps[$i]}")"
    done
} >"$work/job.sh"

echo "vm.real_kernel: booting $(basename "$(realpath "$kernel_dir")") under QEMU (tcg)"
console="$work/console.log"
started=$SECONDS
set +e
timeout --kill-after=5 "$kHostLimit" "$qemu" \
    -accel tcg -cpu max -smp 2 -m 1024 -nodefaults -no-reboot -display none \
    -monitor none -serial "file:$console" \
    -kernel "$kernel_dir/kernel" -initrd "$work/initramfs.cpio" \
    -append "console=ttyS0 ${KESTRINE_VM_QUIET-quiet} panic=-1 rdinit=/init kestrine_stage2=$work/stage2.sh kestrine_job=$work/job.sh" \
    -fsdev "local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap" \
    -device "virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot" </dev/null
qemu_status=$?
set -e
elapsed=$((SECONDS - started))

# The console, less the kernel's own lines, is the test output.
grep -v '^\[ *[0-9]*\.[0-9]*\]' "$console" | tr -d '\r' || true
echo "vm.real_kernel: VM ran ${elapsed}s"

if [ "$qemu_status" -eq 124 ] || [ "$qemu_status" -eq 137 ]; then
    fail "QEMU did not end within ${kHostLimit}s and was killed"
fi
result=$(sed -n 's/^kestrine-vm: result \([0-9]*\).*/\1/p' "$console" | tr -d '\r' | tail -n 1)
if [ -z "$result" ]; then
    echo "---- full console" >&2
    cat "$console" >&2
    fail "the VM ended without a result (QEMU status $qemu_status); the console is above"
fi
case "$result" in
0) echo "vm.real_kernel: passed" ;;
124) fail "the VM's watchdog ended a hung test run" ;;
125 | 126) fail "the VM could not be set up (status $result); see the console above" ;;
*) fail "the tests inside the VM failed (status $result)" ;;
esac
