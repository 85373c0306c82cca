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

# Starts ./launcher in the folder $1 with its output in the file $2 and waits for its window: sets pid and
# win. Fails, printing what the launcher wrote, when no window appears.
start_launcher() {
    (cd "$1" && exec ./launcher) >"$2" 2>&1 &
    pid=$!
    win=$(wait_for_window --onlyvisible --pid "$pid") || { echo "no launcher window:"; cat "$2"; return 1; }
    sleep 0.5
}

# A fresh copy of the game folder $2 and a per-user folder in the run folder $1, for one launcher run: sets
# run, settings and gamelog, and points XDG_DATA_HOME there.
prepare_launcher_run() {
    run=$1
    mkdir -p "$run/data"
    cp -r "$2" "$run/game"
    export XDG_DATA_HOME=$run/data
    settings=$run/data/Quillfen/Valtor/1.0/setup.dat
    gamelog=$run/data/Quillfen/Valtor/1.0/valtor-demo.log
}
