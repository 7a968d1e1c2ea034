#!/usr/bin/env bash
# Another program of the user holds the mouse when the window starts: a
# command holding the window's lock, or the agent holding the device's. The
# window appears at once, its status line naming the holder as the lock
# records it and what the window waits for, and reads the mouse once the
# holder is done.
source "$(dirname "$0")/e2e_lib.bash"
source "$(dirname "$0")/accessibility.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"
HOLD_SECONDS=6

# hold FILE OFFSET TEXT: holds an flock on FILE for HOLD_SECONDS with TEXT
# written at OFFSET, as the holder records itself; prints the holder's pid.
hold() {
    /usr/bin/python3 - "$@" "$HOLD_SECONDS" <<'PY' &
import fcntl, os, sys, time
path, offset, text, seconds = sys.argv[1], int(sys.argv[2]), sys.argv[3], float(sys.argv[4])
fd = os.open(path, os.O_RDWR | os.O_CREAT, 0o600)
fcntl.flock(fd, fcntl.LOCK_EX)
os.pwrite(fd, text.replace("PID", str(os.getpid())).encode().ljust(120 if offset else 0, b"\0"), offset)
open(os.environ["WORK"] + "/held", "w").close()
time.sleep(seconds)
PY
    PIDS+=($!)
    wait_until 10 "the lock was not taken" test -e "$WORK/held"
    rm -f "$WORK/held"
}

status_text() {
    widget_names "$TITLE" "status bar" | head -n 1
}

start_x
start_accessibility
export WORK

for holder in command agent; do
    if [ "$holder" = command ]; then
        hold "$XDG_RUNTIME_DIR/kestrine-config.lock" 0 "command PID"$'\n'
        expected="(a kestrine-config command, pid ${PIDS[-1]})"
    else
        hold "$XDG_RUNTIME_DIR/kestrine-config-device.lock" 8 "kestrine-config agent, pid PID"
        expected="(kestrine-config agent, pid ${PIDS[-1]})"
    fi
    holding=${PIDS[-1]}
    "$PROGRAM" --simulate >"$WORK/program-$holder.log" 2>&1 &
    PIDS+=($!)
    program=${PIDS[-1]}
    window=$(wait_for_window "$TITLE" 4)
    kill -0 "$holding" || fail "$holder: the window appeared only after the holder was done"
    text=$(status_text)
    want="Waiting while another program of yours uses the mouse… $expected. Then: the window reads the mouse's settings."
    [ "$text" = "$want" ] || fail "$holder: the status line says '$text', not '$want'"
    import -window "$window" "$WORK/waiting-$holder.png"
    cp "$WORK/waiting-$holder.png" "/tmp/kestrine-waiting-$holder.png" 2>/dev/null || true
    wait "$holding" 2>/dev/null || true
    wait_until 20 "$holder: the window did not read the mouse once the holder was done" \
        bash -c "[[ \"\$(/usr/bin/python3 '$(dirname "$0")/find_widget.py' --names '$TITLE' 'status bar' 2>/dev/null)\" == *connected* ]]"
    kill "$program"
    wait "$program" 2>/dev/null || true
done
echo "PASS"
