# For end-to-end scripts that find the program's controls the way a screen
# reader does: by their role and the text a user reads, on the accessibility
# bus, so that a change of layout does not move the script's clicks.
# Source after e2e_lib.bash, call start_accessibility after start_x.

start_accessibility() {
    local address pid
    dbus-daemon --session --fork --nosyslog --print-address=3 --print-pid=4 \
        3>"$WORK/dbus-address" 4>"$WORK/dbus-pid" || fail "cannot start a session bus"
    read -r address <"$WORK/dbus-address"
    read -r pid <"$WORK/dbus-pid"
    PIDS+=("$pid")
    export DBUS_SESSION_BUS_ADDRESS=$address
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$WORK/at-spi.log" 2>&1 &
    PIDS+=($!)
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    export NO_AT_BRIDGE=0
}

# widget_rect WINDOW ROLE NAME: "x y width height" on the screen, waiting for it to show.
widget_rect() {
    local found
    for _ in $(seq 1 50); do
        if found=$(/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/find_widget.py" "$@" 2>/dev/null); then
            echo "$found"
            return 0
        fi
        sleep 0.1
    done
    fail "no $2 '$3' in the window '$1'"
}

# widget_names WINDOW ROLE: what every widget of that role in the window says, one a line.
widget_names() {
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/find_widget.py" --names "$@" 2>/dev/null
}

# click_widget WINDOW ROLE NAME: clicks the middle of the widget.
click_widget() {
    local x y w h
    read -r x y w h < <(widget_rect "$@")
    xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) click 1
}
