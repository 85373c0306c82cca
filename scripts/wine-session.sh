# Shell helpers for the Windows end-to-end runs: the programs of a Windows build folder under Wine, in a
# virtual X server with a window manager. Sourced, inside xvfb-run, by the Windows demo and end-to-end runs.
#   WINE          the loader for the build's arch (wine for 32-bit, /usr/lib/wine/wine64 for 64-bit)
#   WINEPREFIX    the Wine prefix (the caller's, or a fresh one)

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" VALTOR_DEMO_SECONDS=0

# The Unix path of a folder that Wine names with an environment variable (LOCALAPPDATA, ...).
wine_folder() {
    local windows
    windows=$("$WINE" cmd /c echo "%$1%" 2>/dev/null | tr -d "\r")
    "$WINE" winepath -u "$windows" 2>/dev/null | tr -d "\r"
}

# Finding windows and their client areas: wait_for_window and client_geometry.
source "$(dirname "${BASH_SOURCE[0]}")/x11-window.sh"

# Prints the id of the first visible window of the X class $1 (Wine names it after the program), waiting
# up to ten seconds.
wait_for_wine_window() {
    WINDOW_WAIT_TENTHS=100 wait_for_window --onlyvisible --class "$1"
}

# A click at a point of the screen: Wine takes a moment to notice where the pointer went.
click_at() {
    xdotool mousemove "$1" "$2"
    sleep 0.3
    xdotool click 1
    sleep 0.4
}

# Waits up to ten seconds for the process to end; sets status to its exit code (124 when it did not end,
# and then kills it).
wait_for_end() {
    status=124
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || { status=0; wait "$1" || status=$?; return 0; }
        sleep 0.1
    done
    kill "$1" 2>/dev/null || true
}

# Pixels in which two pictures differ.
differing() {
    compare -metric AE -alpha off "$1" "$2" null: 2>&1 || true
}
