#!/usr/bin/env bash
# Profiles from a shell, without a display: export from a configured mouse,
# import into a factory-fresh one, and bad profiles that leave the mouse alone.
source "$(dirname "$0")/e2e_lib.bash"
unset DISPLAY QT_QPA_PLATFORM

configured="$WORK/configured.bin"
fresh="$WORK/fresh.bin"
"$PROGRAM" --simulate="$configured" set polling_rate_hz=2000 lift_off_mm=1.4 \
    angle_snapping=true sensor_angle=-20 'smoothing=Ripple Control On' cpi_level_count=3 \
    active_cpi_level=3 cpi_level.1.x=450 cpi_level.1.y=900 cpi_level.3.x=12050 \
    cpi_level.3.y=12050 forward=key:Ctrl+Shift+F13 back=media:PLAY/PAUSE \
    'middle=fixed-cpi:800x1600' wheel_up=DISABLE multiclick_filter.left='HV Safe Mode' \
    multiclick_filter.back=3 multiclick_filter_acknowledged=true >"$WORK/out" 2>"$WORK/err" ||
    fail "set: $(cat "$WORK/err")"
"$PROGRAM" --simulate="$WORK/factory.bin" info >/dev/null || fail "info"
cmp -s "$configured" "$WORK/factory.bin" && fail "the configured mouse still holds the factory settings"

"$PROGRAM" --simulate="$configured" export "$WORK/profile.toml" 2>"$WORK/err" ||
    fail "export: $(cat "$WORK/err")"
grep -q '^forward = "key:Shift+Ctrl+F13"$' "$WORK/profile.toml" || fail "export: no forward key"
"$PROGRAM" --simulate="$fresh" import "$WORK/profile.toml" >"$WORK/out" 2>"$WORK/err" ||
    fail "import: $(cat "$WORK/err")"
cmp "$configured" "$fresh" || fail "the imported mouse differs from the exported one"

"$PROGRAM" --simulate="$configured" show --json >"$WORK/show.json" || fail "show --json"
python3 -m json.tool "$WORK/show.json" >/dev/null || fail "show --json is no JSON"
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["polling_rate_hz"] == 2000 and d["cpi_level"][2]["x"] == 12050' \
    "$WORK/show.json" || fail "show --json holds other values"

# A syntax error and a CPI out of range: status 2, FILE:LINE:, the mouse untouched.
cp "$fresh" "$WORK/before.bin"
printf 'format = 1\npolling_rate_hz = = 1000\n' >"$WORK/syntax.toml"
sed 's/^x = 12050$/x = 30010/' "$WORK/profile.toml" >"$WORK/range.toml"
range_line=$(grep -n '^x = 30010$' "$WORK/range.toml" | cut -d: -f1)
for bad in "syntax.toml:2:" "range.toml:$range_line:"; do
    file="$WORK/${bad%%:*}"
    status=0
    "$PROGRAM" --simulate="$fresh" import "$file" >"$WORK/out" 2>"$WORK/err" || status=$?
    [ "$status" -eq 2 ] || fail "$bad: status $status"
    grep -q "^$WORK/$bad " "$WORK/err" || fail "$bad: $(cat "$WORK/err")"
    cmp -s "$fresh" "$WORK/before.bin" || fail "$bad: the mouse file changed"
done

# Two simulated mice: list shows both, --device picks the second.
"$PROGRAM" --simulate --simulated-mice 2 list >"$WORK/list" 2>"$WORK/err" || fail "list: $(cat "$WORK/err")"
[ "$(wc -l <"$WORK/list")" -eq 2 ] && grep -q "^2  .*  serial SIMULATED-2  firmware V1.07$" "$WORK/list" ||
    fail "list: $(cat "$WORK/list")"
second=$(sed -n '2s/^2  \([^ ]*\) .*/\1/p' "$WORK/list")
"$PROGRAM" --simulate --simulated-mice 2 --device "$second" info >"$WORK/out" 2>"$WORK/err" ||
    fail "--device PATH: $(cat "$WORK/err")"
grep -q "^Device path: $second$" "$WORK/out" || fail "--device PATH used another mouse: $(cat "$WORK/out")"
"$PROGRAM" --simulate --simulated-mice 2 show >/dev/null 2>"$WORK/err" || fail "show with two mice"
grep -q "2 mice are connected; this command uses the first" "$WORK/err" || fail "no note of two mice: $(cat "$WORK/err")"
status=0
"$PROGRAM" --simulate --device 3 show >/dev/null 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] && grep -q "no connected mouse is 3" "$WORK/err" || fail "--device 3 of 1: status $status"
echo "PASS"
