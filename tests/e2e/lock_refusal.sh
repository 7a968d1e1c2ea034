#!/usr/bin/env bash
# No usable single-instance lock: the runtime folder may be entered by others
# and the private folder under /tmp is not private either. The tool refuses
# to start with status 1 and names the folder and what is wrong with it,
# rather than run without the rule. Each permission that lets another user in
# is tried on its own, on both folders. Runs in a mount namespace of its own
# with a private /tmp, so the machine's /tmp is never touched; where
# namespaces are not allowed the test is reported as skipped (status 77).
source "$(dirname "$0")/e2e_lib.bash"
unset DISPLAY WAYLAND_DISPLAY  # no desktop: the refusal goes to stderr only

if ! unshare -m true 2>/dev/null; then
    echo "SKIP: no mount namespace for a private /tmp"
    exit 77
fi
# Outside /tmp, which the namespace replaces: the runtime folder, the logs and
# the program's folder (the build may itself lie under /tmp: it is bound
# outside first, so the private /tmp does not hide the program).
XDG_RUNTIME_DIR=$(mktemp -d -p /dev/shm)
outside=$(mktemp -d -p /dev/shm)
trap 'rm -rf "$XDG_RUNTIME_DIR" "$outside"; cleanup' EXIT
mkdir "$outside/programs" "$outside/logs"

# Runtime folder's mode, fallback folder's mode: every one lets someone else in.
cases=("0755 0755" "0750 0710" "0705 0701" "0770 0720" "0777 1777" "0701 0704")
status=0
unshare -m sh -c '
    program=$1 outside=$2
    shift 2
    mount --bind "$(dirname "$program")" "$outside/programs" && mount -t tmpfs tmpfs /tmp || exit 1
    fallback="/tmp/kestrine-config-$(id -u)"
    for modes in "$@"; do
        set -- $modes
        chmod "$1" "$XDG_RUNTIME_DIR" && rm -rf "$fallback" && mkdir -m "$2" "$fallback" || exit 1
        code=0
        "$outside/programs/$(basename "$program")" --simulate >"$outside/logs/$1-$2.log" 2>&1 || code=$?
        echo "$code" >"$outside/logs/$1-$2.status"
    done' sh "$PROGRAM" "$outside" "${cases[@]}" >"$outside/namespace.log" 2>&1 || status=$?
cp "$outside/namespace.log" "$WORK/namespace.log"
[ "$status" -eq 0 ] || fail "the private /tmp could not be set up (status $status)"

for modes in "${cases[@]}"; do
    read -r runtime_mode fallback_mode <<<"$modes"
    name="$runtime_mode-$fallback_mode"
    log="$outside/logs/$name.log"
    cp "$log" "$WORK/refusal-$name.log"
    [ "$(cat "$outside/logs/$name.status")" = 1 ] ||
        fail "runtime $runtime_mode, fallback $fallback_mode: status $(cat "$outside/logs/$name.status"), not 1: $(cat "$log")"
    grep -q "kestrine-config-$(id -u) may be entered by other users (mode $fallback_mode" "$log" ||
        fail "runtime $runtime_mode, fallback $fallback_mode: the reason is not given: $(cat "$log")"
    grep -q "$XDG_RUNTIME_DIR may be entered by other users (mode $runtime_mode" "$log" ||
        fail "runtime $runtime_mode, fallback $fallback_mode: the runtime folder's fault is not given: $(cat "$log")"
done
[ ! -e "$XDG_RUNTIME_DIR/kestrine-config.lock" ] || fail "the untrusted runtime folder was used"
echo "PASS"
