# Shared by the agent's end-to-end scripts (after e2e_lib.bash): two test
# windows, GameOne and GameTwo, whose rules put profile one (1000 Hz) and
# profile two (500 Hz) on the simulated mouse.
TEST_WINDOW=${X11_TEST_WINDOW:?the X11 test window program (set by ctest)}

# write_game_rules: the rules file and its two profiles in $XDG_CONFIG_HOME.
write_game_rules() {
    local rules="$XDG_CONFIG_HOME/kestrine-config"
    mkdir -p "$rules"
    printf 'format = 1\npolling_rate_hz = 1000\n' >"$rules/one.toml"
    printf 'format = 1\npolling_rate_hz = 500\n' >"$rules/two.toml"
    cat >"$rules/rules.toml" <<'TOML'
format = 1
[[rule]]
window_class = "GameOne"
profile = "one.toml"
[[rule]]
window_class = "GameTwo"
profile = "two.toml"
TOML
}

# open_game_windows: a stand-in window manager and the two windows, on the
# X server start_x started; their ids in $one and $two.
open_game_windows() {
    "$TEST_WINDOW" manager >"$WORK/manager.out" 2>"$WORK/manager.log" &
    PIDS+=($!)
    wait_until 10 "the stand-in window manager did not start" grep -q ready "$WORK/manager.out"
    "$TEST_WINDOW" window gameone GameOne 0 0 >"$WORK/one.out" 2>&1 &
    PIDS+=($!)
    "$TEST_WINDOW" window gametwo GameTwo 200 0 >"$WORK/two.out" 2>&1 &
    PIDS+=($!)
    wait_until 10 "the first test window did not open" grep -q . "$WORK/one.out"
    wait_until 10 "the second test window did not open" grep -q . "$WORK/two.out"
    one=$(head -n 1 "$WORK/one.out")
    two=$(head -n 1 "$WORK/two.out")
}

# rate_is CODE: the simulated mouse's memory holds this report-rate code.
rate_is() { [ "$(od -An -tu1 -j5 -N1 "$MEMORY" | tr -d ' ')" = "$1" ]; }
