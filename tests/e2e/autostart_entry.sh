#!/usr/bin/env bash
# The autostart entry that `agent --enable` writes starts the agent at login
# exactly as --enable started it, whatever the program's path and the memory
# file's name hold: spaces, quotes, backslashes, `$`, a backtick and `%`.
# GLib's own desktop-entry launcher (gio launch) reads the entry back, and
# desktop-file-validate checks it. The `%` is in the memory file's name only:
# GLib looks for the program before it turns %% into %, so it would not find
# a program whose path holds one.
source "$(dirname "$0")/e2e_lib.bash"
command -v gio >/dev/null && command -v desktop-file-validate >/dev/null ||
    { echo "SKIP: gio or desktop-file-validate missing"; exit 77; }
export XDG_CONFIG_HOME="$WORK/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"
ODD="$WORK/a folder's \"odd\" name \$HOME \`x\` back\\slash"
mkdir -p "$ODD"
cp "$PROGRAM" "$ODD/kestrine config"
AGENT_PROGRAM="$ODD/kestrine config"
MEMORY="$ODD/mouse memory 100%f %%u.bin"
ENTRY="$XDG_CONFIG_HOME/autostart/kestrine-config-agent.desktop"

agent_pid() { "$AGENT_PROGRAM" agent --status | sed -n 's/^running: yes (pid \([0-9]*\))$/\1/p'; }
agent_runs() { [ -n "$(agent_pid)" ]; }
agent_stopped() { [ -z "$(agent_pid)" ]; }
# One argument a line; no argument here holds a newline.
arguments_of() { tr '\0' '\n' <"/proc/$1/cmdline"; }

"$AGENT_PROGRAM" --simulate="$MEMORY" agent --enable >"$WORK/enable.log" 2>&1 ||
    fail "agent --enable failed"
wait_until 10 "the enabled agent does not run" agent_runs
pid=$(agent_pid)
PIDS+=("$pid")
arguments_of "$pid" >"$WORK/started"
printf '%s\n' "$AGENT_PROGRAM" "--simulate=$MEMORY" agent >"$WORK/expected"
diff "$WORK/expected" "$WORK/started" >&2 || fail "--enable started the agent with other arguments"

[ -f "$ENTRY" ] || fail "no autostart entry at $ENTRY"
desktop-file-validate "$ENTRY" >"$WORK/validate.log" 2>&1 || fail "the entry is not valid: $(cat "$WORK/validate.log")"

# Login: the agent as the entry starts it.
kill "$pid"
wait_until 10 "the agent did not stop" agent_stopped
gio launch "$ENTRY" >"$WORK/launch.log" 2>&1 || fail "gio cannot launch the entry"
wait_until 10 "the entry did not start the agent" agent_runs
pid=$(agent_pid)
PIDS+=("$pid")
arguments_of "$pid" >"$WORK/at_login"
diff "$WORK/started" "$WORK/at_login" >&2 ||
    fail "the entry starts the agent with other arguments than --enable did"
echo "PASS"
