# Shell helpers for finding the programs' windows in an X server; sourced by the demos and the
# end-to-end tests.

# Prints the id of the first window that `xdotool search ARGS...` finds, waiting up to the number of tenths
# of a second in WINDOW_WAIT_TENTHS (100 unless set). Fails, printing nothing, when none appears.
wait_for_window() {
    local found tries=${WINDOW_WAIT_TENTHS:-100}
    for _ in $(seq "$tries"); do
        found=$(xdotool search "$@" 2>/dev/null | head -n 1 || true)
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.1
    done
    return 1
}

# Sets X, Y, WIDTH and HEIGHT to the screen position and size of a window's client area (xdotool's
# geometry counts the window manager's frame in).
client_geometry() {
    local info
    info=$(xwininfo -id "$1")
    X=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$info")
    Y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$info")
    WIDTH=$(awk '/^ *Width:/ { print $2 }' <<<"$info")
    HEIGHT=$(awk '/^ *Height:/ { print $2 }' <<<"$info")
}
