#!/usr/bin/env bash
# Both programs without any display (DISPLAY and WAYLAND_DISPLAY unset, no video driver asked for): they
# must not fall back to a driver that shows nothing and run invisibly until killed, but end at once with a
# message on standard error. Needs no X server.
set -euo pipefail
build=$(cd "$1" && pwd)
for program in launcher selling; do
    [ -x "$build/game/$program" ] || { echo "$build/game/$program is missing"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$build/game" "$work/game"
for program in launcher selling; do
    status=0
    (cd "$work/game" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER XDG_DATA_HOME="$work/data" \
        timeout 20 "./$program") >"$work/$program.out" 2>"$work/$program.err" || status=$?
    [ "$status" != 124 ] || { echo "$program: still running after 20 s without a display"; exit 1; }
    [ "$status" != 0 ] || { echo "$program: exit code 0 without a window"; exit 1; }
    [ -s "$work/$program.err" ] || { echo "$program: nothing on standard error"; exit 1; }
    echo "$program: ended with code $status and said: $(tr '\n' ' ' <"$work/$program.err")"
done
