#!/usr/bin/env bash
# --help, --version and bad input on the command line, no X server needed.
source "$(dirname "$0")/e2e_lib.bash"
# No display at all: these must work on a bare terminal.
unset DISPLAY QT_QPA_PLATFORM

"$PROGRAM" --help | grep -q -- "--simulate \[=FILE\]" || fail "--help does not describe --simulate"
"$PROGRAM" --version | grep -q "1.07" || fail "--version does not show 1.07"

status=0
"$PROGRAM" --bogus 2>"$WORK/err" || status=$?
[ "$status" -eq 2 ] && grep -q "unknown argument" "$WORK/err" || fail "unknown argument: status $status"

# A stray word, --simulate with its file after a space, a repeated option: refused.
for args in "foo" "--simulate $WORK/mem.bin" "--simulate --simulate" "show --json --json"; do
    status=0
    # shellcheck disable=SC2086
    "$PROGRAM" $args >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 2 ] && grep -q -- "--help" "$WORK/err" || fail "$args: status $status"
    [ ! -s "$WORK/out" ] || fail "$args: printed on stdout"
done
[ ! -e "$WORK/mem.bin" ] || fail "--simulate FILE created the file"

head -c 100 /dev/zero >"$WORK/short.bin"
status=0
QT_QPA_PLATFORM=offscreen "$PROGRAM" --simulate="$WORK/short.bin" 2>"$WORK/err" || status=$?
[ "$status" -eq 2 ] && grep -q "1024 bytes" "$WORK/err" || fail "short memory file: status $status"
[ "$(stat -c %s "$WORK/short.bin")" -eq 100 ] || fail "short memory file was replaced"

# Output that cannot be written: status 1 with the reason, not 0 with nothing.
status=0
"$PROGRAM" --simulate show >/dev/full 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] && grep -q "No space left on device" "$WORK/err" ||
    fail "show > /dev/full: status $status, $(cat "$WORK/err")"

# The window without a display: one line naming what is missing, status 1, no abort.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$PROGRAM" >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] || fail "no display: status $status, $(cat "$WORK/err")"
[ "$(wc -l <"$WORK/err")" -eq 1 ] && grep -q "DISPLAY" "$WORK/err" && grep -q "WAYLAND_DISPLAY" "$WORK/err" ||
    fail "no display: $(cat "$WORK/err")"

# Bad input without a mouse is bad input (2); a profile is checked offline.
printf 'format = 1\nsensor_angle = 200\n' >"$WORK/bad.toml"
for args in "import $WORK/bad.toml" "set noequals" "check $WORK/bad.toml"; do
    status=0
    # shellcheck disable=SC2086
    "$PROGRAM" $args >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 2 ] || fail "$args without a mouse: status $status, $(cat "$WORK/err")"
done
"$PROGRAM" --simulate=/nonexistent/x export - >/dev/null 2>&1 && fail "a memory file in a missing folder"
"$PROGRAM" --simulate export - | "$PROGRAM" check - >"$WORK/out" || fail "check of an exported profile"

# Export onto a FIFO: refused at once, the FIFO stays.
mkfifo "$WORK/fifo"
status=0
timeout 20 "$PROGRAM" --simulate export "$WORK/fifo" 2>"$WORK/err" || status=$?
[ "$status" -eq 2 ] && grep -q ": a FIFO" "$WORK/err" || fail "export onto a FIFO: status $status"
[ -p "$WORK/fifo" ] || fail "export replaced the FIFO"
echo "PASS"
