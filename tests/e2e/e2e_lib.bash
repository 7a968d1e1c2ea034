# Shared by the end-to-end scripts: a private X server and runtime folder.
set -euo pipefail

PROGRAM=${1:?usage: $0 path/to/kestrine-config}
WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
export QT_STYLE_OVERRIDE=Fusion  # the layout the scripts' positions were taken from
PIDS=()

cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "$WORK"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log"):"; tail -n 20 "$log"; } >&2
    done
    if [ -n "${DISPLAY:-}" ]; then
        import -window root "$WORK/failure.png" 2>/dev/null && cp "$WORK/failure.png" /tmp/e2e-failure-$$.png &&
            echo "screenshot: /tmp/e2e-failure-$$.png" >&2
    fi
    exit 1
}

start_x() {
    # Xvfb picks a free display itself and writes its number once it listens,
    # so parallel runs never share (and lose) a server. -noreset: without it the
    # server resets when its last client leaves (xdpyinfo below), refusing the
    # program that connects at that moment.
    # The file exists before the server starts, so the first read cannot fail.
    : >"$WORK/display"
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.out" 2>&1 &
    PIDS+=($!)
    local number=""
    for _ in $(seq 1 100); do
        number=$(tr -d '[:space:]' <"$WORK/display")
        [ -n "$number" ] && break
        kill -0 "${PIDS[-1]}" 2>/dev/null || fail "Xvfb ended: $(cat "$WORK/xvfb.out")"
        sleep 0.1
    done
    [ -n "$number" ] || fail "Xvfb did not start"
    export DISPLAY=":$number"
    xdpyinfo >/dev/null 2>&1 || fail "cannot reach Xvfb on $DISPLAY"
}

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every tenth of a second until
# it succeeds; after SECONDS without success the script fails, saying WHAT did
# not happen. A wait on the condition itself, never a guess at how long it takes.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "$what (waited ${seconds}s)"
        sleep 0.1
    done
}

# wait_for_window NAME [SECONDS]: prints the window id once a window with exactly that title is shown.
wait_for_window() {
    local name=$1 seconds=${2:-30} id
    for _ in $(seq 1 $((seconds * 10))); do
        id=$(xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    fail "no window titled '$name' after ${seconds}s"
}

count_windows() {
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l
}
