# Shared by the runs on the Wayland desktops (sourced after e2e_lib.bash):
# two rules for the app ids kestrine.alpha and kestrine.beta, what the
# simulated mouse holds, and the switches between the two windows.

# alpha's profile: 1000 Hz (code 8); beta's: 500 Hz (code 16) and angle 5.
write_alpha_beta_rules() {
    local rules="$XDG_CONFIG_HOME/kestrine-config"
    mkdir -p "$rules"
    printf 'format = 1\npolling_rate_hz = 1000\n' >"$rules/alpha.toml"
    printf 'format = 1\npolling_rate_hz = 500\nsensor_angle = 5\n' >"$rules/beta.toml"
    cat >"$rules/rules.toml" <<'TOML'
format = 1
[[rule]]
window_class = "kestrine.alpha"
profile = "alpha.toml"
[[rule]]
window_class = "kestrine.beta"
profile = "beta.toml"
TOML
}

rate() { od -An -tu1 -j5 -N1 "$MEMORY" | tr -d ' '; }
angle() { od -An -td1 -j112 -N1 "$MEMORY" | tr -d ' '; }
# Every process's writes to the mouse, counted in the device lock file.
writes() { od -An -tu8 -N8 "$XDG_RUNTIME_DIR/kestrine-config-device.lock" 2>/dev/null | tr -d ' '; }

# switch_alpha_beta_alpha BRING: BRING NAME brings the window of kestrine.NAME
# to the front. The windows map a moment after they start, so each is brought
# again until its profile is on the mouse; then each switch wrote once.
switch_alpha_beta_alpha() {
    local bring=$1
    brought() {
        "$bring" "$1"
        [ "$(rate)" = "$2" ]
    }
    wait_until 20 "alpha's profile did not reach the mouse" brought alpha 8
    local first
    first=$(writes)
    wait_until 10 "beta's profile did not reach the mouse" brought beta 16
    [ "$(angle)" = 5 ] || fail "beta's sensor angle is $(angle), expected 5"
    [ "$(writes)" = $((first + 1)) ] || fail "$(writes) writes after one switch from $first"
    wait_until 10 "alpha's profile did not come back" brought alpha 8
    [ "$(writes)" = $((first + 2)) ] || fail "$(writes) writes after two switches from $first"
}
