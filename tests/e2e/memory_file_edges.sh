#!/usr/bin/env bash
# --simulate=FILE with files a user may hand it: a FIFO and a read-only file
# are refused at once with status 2 and left as they were; a dangling link
# gets the memory file at its target and stays a link.
source "$(dirname "$0")/e2e_lib.bash"

# refused NAME FILE WORDS: the start ends with status 2 at once, saying WORDS.
refused() {
    local status=0
    timeout 20 "$PROGRAM" --simulate="$2" >"$WORK/$1.log" 2>&1 || status=$?
    [ "$status" -ne 124 ] || fail "$1: the start hangs"
    [ "$status" -eq 2 ] || fail "$1: status $status, not 2"
    grep -q -- "$3" "$WORK/$1.log" || fail "$1: does not say '$3': $(cat "$WORK/$1.log")"
}

mkfifo "$WORK/fifo"
refused fifo "$WORK/fifo" "FIFO"
[ -p "$WORK/fifo" ] || fail "the FIFO was replaced"

head -c 1024 /dev/urandom >"$WORK/readonly.bin"
cp "$WORK/readonly.bin" "$WORK/readonly.expected"
chmod 444 "$WORK/readonly.bin"
refused readonly "$WORK/readonly.bin" "read-only"
cmp -s "$WORK/readonly.bin" "$WORK/readonly.expected" || fail "the read-only file was changed"
[ "$(stat -c %a "$WORK/readonly.bin")" = 444 ] || fail "the read-only file's mode was changed"

mkdir "$WORK/memory"
ln -s memory/target.bin "$WORK/link.bin"
start_x
"$PROGRAM" --simulate="$WORK/link.bin" >"$WORK/link.log" 2>&1 &
PIDS+=($!)
wait_for_window "Simulated mouse" >/dev/null
[ -L "$WORK/link.bin" ] || fail "the link was replaced"
[ "$(readlink "$WORK/link.bin")" = memory/target.bin ] || fail "the link points elsewhere"
[ -f "$WORK/memory/target.bin" ] && [ "$(stat -c %s "$WORK/memory/target.bin")" -eq 1024 ] ||
    fail "no 1024-byte memory file at the link's target"
[ -z "$(ls "$WORK/memory" | grep -v '^target.bin$')" ] || fail "left beside the file: $(ls "$WORK/memory")"
echo "PASS"
