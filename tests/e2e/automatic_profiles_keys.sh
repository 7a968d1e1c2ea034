#!/usr/bin/env bash
# Automatic profiles from the keyboard alone, through a real X server: Alt+P
# opens the dialog, Alt+A adds a rule, Alt+B/Alt+N/Alt+P fill it in, Alt+S
# saves; the rules file then holds the rule and rules check finds it good.
# Enter and Esc close nothing; Alt+C leaves without a change.
source "$(dirname "$0")/e2e_lib.bash"
TITLE="Kestrine XQ3 8k v2 Configuration Tool"
DIALOG="Automatic Profiles"
export XDG_CONFIG_HOME="$WORK/config"
RULES="$XDG_CONFIG_HOME/kestrine-config/rules.toml"

keys() {
    xdotool key --delay 150 "$@"
    sleep 0.4
}

# Xvfb runs no window manager, which would give a new window the keyboard.
open_dialog() {
    keys alt+p
    dialog=$(wait_for_window "$DIALOG")
    xdotool windowfocus --sync "$dialog"
    sleep 0.3
}

dialog_open() {
    [ "$(count_windows "$DIALOG")" -gt 0 ]
}

dialog_closed() {
    [ "$(count_windows "$DIALOG")" -eq 0 ]
}

start_x
mkdir -p "$XDG_CONFIG_HOME/kestrine-config/games"
printf 'format = 1\npolling_rate_hz = 1000\n' >"$XDG_CONFIG_HOME/kestrine-config/games/xterm.toml"
"$PROGRAM" --simulate >"$WORK/program.log" 2>&1 &
PIDS+=($!)
window=$(wait_for_window "$TITLE")
xdotool windowfocus --sync "$window"
sleep 0.5

open_dialog
keys alt+a
# The new rule's name field has the focus; match by window class.
xdotool type --delay 50 "XTerm"
keys alt+b Down
keys alt+p
xdotool type --delay 50 "games/xterm.toml"
keys Return Escape
dialog_open || fail "Enter or Esc closed the dialog"
keys alt+s
wait_until 10 "Save did not close the dialog" dialog_closed
[ -f "$RULES" ] || fail "no rules file was written"
grep -qx 'window_class = "XTerm"' "$RULES" || fail "the rule is not in the file: $(cat "$RULES")"
grep -qx 'profile = "games/xterm.toml"' "$RULES" || fail "the profile is not in the file: $(cat "$RULES")"
"$PROGRAM" rules check >"$WORK/check.log" 2>&1 || fail "rules check: $(cat "$WORK/check.log")"
grep -q "^rule 1 (line [0-9]*): window class \"XTerm\" -> $XDG_CONFIG_HOME/kestrine-config/games/xterm.toml\$" \
    "$WORK/check.log" || fail "rules check says: $(cat "$WORK/check.log")"

# Opened again, the rule is there; a change left with Alt+C is not saved.
before=$(cat "$RULES")
xdotool windowfocus --sync "$window"
open_dialog
keys alt+m
keys alt+c
wait_until 10 "Cancel did not close the dialog" dialog_closed
[ "$(cat "$RULES")" = "$before" ] || fail "Cancel changed the file: $(cat "$RULES")"
echo "PASS"
