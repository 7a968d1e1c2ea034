#!/usr/bin/env bash
# A flood of idle connections on the raise socket, more than a desktop's
# usual 1024 descriptors, does not stop a later second start from bringing
# the running window to the front.
source "$(dirname "$0")/e2e_lib.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"

stack_position() {
    xwininfo -root -children | awk -v id="$(printf '0x%x' "$1")" '$1 == id { print NR; exit }'
}

start_x
# The usual soft limit of a desktop session; the hard one stays as it is.
(ulimit -Sn 1024 && exec "$PROGRAM" --simulate) >"$WORK/first.log" 2>&1 &
PIDS+=($!)
main=$(wait_for_window "$TITLE")
other=$(wait_for_window "Simulated mouse")
socket="$XDG_RUNTIME_DIR/kestrine-config.socket"

# 1100 connections that never say anything, held open while the second start runs.
python3 - "$socket" "$WORK/flood.ready" <<'PY' >"$WORK/flood.log" 2>&1 &
import resource, socket, sys, time
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
held = []
for _ in range(1100):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(sys.argv[1])
    held.append(s)
open(sys.argv[2], "w").close()
time.sleep(60)
PY
PIDS+=($!)
for _ in $(seq 1 100); do [ -e "$WORK/flood.ready" ] && break; sleep 0.1; done
[ -e "$WORK/flood.ready" ] || fail "the flood could not connect: $(cat "$WORK/flood.log")"
sleep 0.5

xdotool windowraise "$other" windowfocus "$other"
for _ in $(seq 1 50); do
    [ "$(stack_position "$other")" -lt "$(stack_position "$main")" ] && break
    sleep 0.1
done
timeout 20 "$PROGRAM" --simulate >"$WORK/second.log" 2>&1 || fail "second start exited with status $?"
[ -S "$socket" ] || fail "the running instance no longer listens"
raised=""
for _ in $(seq 1 50); do
    if [ "$(stack_position "$main")" -lt "$(stack_position "$other")" ]; then
        raised=yes
        break
    fi
    sleep 0.1
done
[ -n "$raised" ] || fail "the running window was not brought to the front after the flood"
kill -0 "${PIDS[1]}" || fail "the first instance ended"
echo "PASS"
