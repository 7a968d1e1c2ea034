#!/bin/sh
# /init of the test VM's initramfs (busybox). Mounts the host's / read-only
# over virtio-9p with a tmpfs overlay on top and switches to it, where
# stage2.sh runs the job the harness wrote (kestrine_stage2=FILE and
# kestrine_job=FILE on the kernel command line, both files on the host).
# A failure here prints "kestrine-vm: result 125" on the console and powers off.

say() { echo "kestrine-vm: $*"; }
finish() {
    say "result $1"
    sync
    poweroff -f
    sleep 30  # never let PID 1 exit before the power is off (kernel panic)
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

job=""
stage2=""
for arg in $(cat /proc/cmdline); do
    case "$arg" in
    kestrine_job=*) job="${arg#kestrine_job=}" ;;
    kestrine_stage2=*) stage2="${arg#kestrine_stage2=}" ;;
    esac
done

# Order matters: the module files carry no dependency data (no modules.dep).
for module in virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci \
    9pnet 9pnet_virtio netfs fscache 9p overlay; do
    insmod "/modules/$module.ko" || { say "cannot load $module"; finish 125; }
done

mkdir -p /host /rw /root
mount -t 9p -o ro,trans=virtio,version=9p2000.L,msize=512000,cache=loose hostroot /host ||
    { say "cannot mount the host's / over 9p"; finish 125; }
mount -t tmpfs -o mode=0755 tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work overlay /root ||
    { say "cannot mount the overlay"; finish 125; }

mount -t proc proc /root/proc
mount -t sysfs sysfs /root/sys
mount -t devtmpfs devtmpfs /root/dev
mkdir -p /root/dev/pts /root/dev/shm
mount -t devpts devpts /root/dev/pts
mount -t tmpfs tmpfs /root/dev/shm
mount -t tmpfs -o mode=0755 tmpfs /root/run

if [ -z "$job" ] || [ ! -f "/root$job" ]; then
    say "no job file given (kestrine_job=$job)"
    finish 125
fi

# The overlay becomes the root (not a chroot: udevadm refuses to work in one);
# the second stage, from the source tree, runs the job as PID 1.
exec switch_root /root /bin/busybox sh "$stage2" "$job"
