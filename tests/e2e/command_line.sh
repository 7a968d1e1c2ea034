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
"$PROGRAM" --simulate="$WORK/short.bin" 2>"$WORK/err" || status=$?
[ "$status" -eq 2 ] && grep -q "1024 bytes" "$WORK/err" || fail "short memory file: status $status"
[ "$(stat -c %s "$WORK/short.bin")" -eq 100 ] || fail "short memory file was replaced"
echo "PASS"
