# sway, a real Wayland compositor, for the end-to-end runs (source after
# e2e_lib.bash). sway refuses to run as root, so it and the programs started
# with as_desktop_user run as an unprivileged user; this user's programs
# reach the compositor through its sockets. Runs that need what sway needs
# and does not find skip (exit 77).

skip() {
    echo "skipped: $*"
    exit 77
}

# start_sway BACKEND [CONFIG_LINE...]: sway with those lines of configuration;
# sets SWAYSOCK (exported, for swaymsg) and SWAY_WAYLAND (its Wayland socket).
# BACKEND headless: no window, no input devices, nothing else needed.
# BACKEND x11: a window of the X server on $DISPLAY, whose keyboard is the
# seat's keyboard: sway gives its clients that keyboard's keymap, as it sets
# it from its configuration (the headless seat has no keyboard at all).
start_sway() {
    local backend=$1
    shift
    local program
    for program in sway swaymsg setpriv; do
        command -v "$program" >/dev/null || skip "$program is not installed (scripts/install-deps)"
    done
    DESKTOP_UID=$(id -u nobody 2>/dev/null) || skip "there is no user 'nobody' to run sway as"
    DESKTOP_GID=$(id -g nobody)
    if [ "$(id -u)" != 0 ] && [ "$(id -u)" != "$DESKTOP_UID" ]; then
        # Only root can start programs as another user; sway then runs as this one.
        DESKTOP_UID=$(id -u)
        DESKTOP_GID=$(id -g)
    fi
    [ "$DESKTOP_UID" != 0 ] || skip "no unprivileged user to run sway as"

    # The desktop's own folder: its runtime folder (0700, its own) and a home.
    DESKTOP="$WORK/desktop"
    mkdir -p "$DESKTOP/runtime" "$DESKTOP/home"
    chmod 755 "$WORK" "$DESKTOP"
    chmod 700 "$DESKTOP/runtime"
    {
        [ "$backend" != headless ] || echo "output HEADLESS-1 resolution 1280x800"
        printf '%s\n' "$@"
    } >"$DESKTOP/config"
    chown -R "$DESKTOP_UID:$DESKTOP_GID" "$DESKTOP"
    SWAY_BACKEND=(WLR_BACKENDS=headless)
    [ "$backend" != x11 ] || SWAY_BACKEND=(WLR_BACKENDS=x11 DISPLAY="$DISPLAY")
    as_desktop_user sway -c "$DESKTOP/config" >"$WORK/sway.log" 2>&1 &
    PIDS+=($!)
    wait_until 20 "sway did not start" sway_listens
    export SWAYSOCK
    SWAYSOCK=$(sway_socket)
    SWAY_WAYLAND="$DESKTOP/runtime/wayland-1"
    wait_until 20 "sway made no Wayland socket" test -S "$SWAY_WAYLAND"
}
sway_socket() { ls "$DESKTOP"/runtime/sway-ipc.*.sock 2>/dev/null | head -n 1; }
sway_listens() { [ -n "$(sway_socket)" ]; }

# as_desktop_user COMMAND...: COMMAND as sway's user, in sway's session. Run
# in the background only: it becomes the program, so that its pid is the program's.
as_desktop_user() {
    local run=(env -i PATH=/usr/bin:/bin HOME="$DESKTOP/home" XDG_RUNTIME_DIR="$DESKTOP/runtime"
        "${SWAY_BACKEND[@]}" WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "$@")
    if [ "$(id -u)" = "$DESKTOP_UID" ]; then
        exec "${run[@]}"
    else
        exec setpriv --reuid="$DESKTOP_UID" --regid="$DESKTOP_GID" --clear-groups "${run[@]}"
    fi
}

# sway_shows NAME: sway has a window of that title or app id.
sway_shows() {
    swaymsg -t get_tree | grep -qE "\"(name|app_id)\": \"$1\""
}
