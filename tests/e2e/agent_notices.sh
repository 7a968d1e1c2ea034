#!/usr/bin/env bash
# The background agent on a private session bus with a stand-in notification
# service: two presses of the simulated mouse's CPI button and one switch of
# its report rate become three notices, each replacing the one before, with
# the configuration window closed and then with it open; a notification
# service started anew is never handed the old one's notice id.
source "$(dirname "$0")/e2e_lib.bash"
PEER=${SIMULATED_PEER:?the simulated peer program (set by ctest)}
MEMORY="$WORK/mouse.bin"
NOTICES="$WORK/notices.jsonl"
export XDG_CONFIG_HOME="$WORK/config"
: >"$NOTICES"
: >"$WORK/fake.log"

source "$(dirname "$0")/notification_service.bash"
start_session_bus
start_service "$NOTICES"

"$PROGRAM" --simulate="$MEMORY" agent >"$WORK/agent.out" 2>"$WORK/agent.log" &
PIDS+=($!)
listening() { "$PROGRAM" agent --status | grep -q "^mouse: connected, listening$"; }
wait_until 10 "the agent did not start listening" listening

notices_at_least() { [ "$(wc -l <"$NOTICES")" -ge "$1" ]; }

# notices_are COUNT SUMMARY...: waits for COUNT notices, then checks the last
# ones' texts, that each replaced the first one's id, and their form.
notices_are() {
    local count=$1
    shift
    wait_until 10 "expected $count notices" notices_at_least "$count"
    /usr/bin/python3 - "$NOTICES" "$count" "$@" <<'PY' || { cat "$NOTICES" "$WORK/agent.log" >&2; fail "the notices are not as expected"; }
import json, sys
notices = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
count, expected = int(sys.argv[2]), sys.argv[3:]
assert len(notices) == count, f"{len(notices)} notices, expected {count}"
got = [n["summary"] for n in notices[-len(expected):]]
assert got == expected, f"texts {got}, expected {expected}"
first = notices[0]["id"]
assert notices[0]["replaces"] == 0, notices[0]
assert all(n["replaces"] == first for n in notices[1:]), [n["replaces"] for n in notices]
for n in notices:
    # What a desktop shows as the sender, and the entry it finds the icon and
    # the user's notification settings by.
    assert n["app"] == "Kestrine XQ3 Configuration" and n["icon"] == "kestrine-config", n
    assert n["hints"]["desktop-entry"] == "io.github.kestrine.config", n
    # Normal: every notice follows the player's own press; low ones are not
    # shown as banners by some desktops at all.
    assert n["hints"]["urgency"] == 1 and 0 < n["timeout"] <= 5000, n
PY
}

"$PEER" "$MEMORY" cpi
"$PEER" "$MEMORY" cpi
"$PEER" "$MEMORY" rate 1
notices_are 3 "CPI 1600 — level 3 of 4" "CPI 3200 — level 4 of 4" "Report rate 8000 Hz"

# The window starts while the agent runs; its simulated mouse's buttons reach the agent.
start_x
"$PROGRAM" --simulate="$MEMORY" >"$WORK/window.log" 2>&1 &
PIDS+=($!)
wait_for_window "Kestrine XQ3 8k v2 Configuration Tool" >/dev/null
mouse_window=$(wait_for_window "Simulated mouse")
xdotool windowfocus --sync "$mouse_window"
# One press at a time: each notice is waited for before the next key.
xdotool key alt+c
wait_until 10 "no notice for the window's first press" notices_at_least 4
xdotool key alt+c
wait_until 10 "no notice for the window's second press" notices_at_least 5
# Alt+R reaches the report-rate list; Home picks its first rate.
xdotool key alt+r Home
notices_are 6 "CPI 400 — level 1 of 4" "CPI 800 — level 2 of 4" "Report rate 125 Hz"

# The service is restarted (a new owner of its name): the next notice is a new
# one, not a replacement of an id the old service gave.
kill "$service"
: >"$WORK/notices2.jsonl"
start_service "$WORK/notices2.jsonl"
"$PEER" "$MEMORY" cpi
wait_until 10 "no notice reached the restarted service" grep -q . "$WORK/notices2.jsonl"
/usr/bin/python3 - "$NOTICES" "$WORK/notices2.jsonl" <<'PY' || fail "the restarted service was handed an old id"
import json, sys
old = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
new = [json.loads(line) for line in open(sys.argv[2], encoding="utf-8")]
assert new[0]["service"] != old[-1]["service"], (old[-1], new[0])
assert new[0]["replaces"] == 0, new[0]
PY
echo "PASS"
