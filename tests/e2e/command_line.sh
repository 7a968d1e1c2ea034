#!/usr/bin/env bash
# --help, --version and bad input on the command line, no X server needed.
source "$(dirname "$0")/e2e_lib.bash"
# No display at all: these must work on a bare terminal.
unset DISPLAY QT_QPA_PLATFORM

"$PROGRAM" --help | grep -q -- "--simulate\[=FILE\]" || fail "--help does not describe --simulate"
"$PROGRAM" --version | grep -q "1.07" || fail "--version does not show 1.07"

status=0
"$PROGRAM" --bogus 2>"$WORK/err" || status=$?
[ "$status" -eq 2 ] && grep -q "unknown argument" "$WORK/err" || fail "unknown argument: status $status"

head -c 100 /dev/zero >"$WORK/short.bin"
status=0
"$PROGRAM" --simulate="$WORK/short.bin" 2>"$WORK/err" || status=$?
[ "$status" -eq 2 ] && grep -q "1024 bytes" "$WORK/err" || fail "short memory file: status $status"
[ "$(stat -c %s "$WORK/short.bin")" -eq 100 ] || fail "short memory file was replaced"
echo "PASS"
