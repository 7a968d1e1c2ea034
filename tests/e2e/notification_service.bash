# A private session bus and a stand-in notification service on it, for the
# agent's notices. Sourced after e2e_lib.bash.

start_session_bus() {
    dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$WORK/bus" ||
        fail "cannot start a session bus"
    export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p "$WORK/bus")
    PIDS+=("$(sed -n 2p "$WORK/bus")")
}

# start_service [--never-answer] LOG: the stand-in notification service,
# recording into LOG; its pid in $service.
start_service() {
    : >"$WORK/fake.log"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/fake_notifications.py" "$@" >"$WORK/fake.log" 2>&1 &
    service=$!
    PIDS+=($service)
    wait_until 10 "the stand-in notification service did not start" grep -q ready "$WORK/fake.log"
}
