#!/usr/bin/env bash
# The dialog layer in a real X server with a window manager: five lists over a background picture, lists
# opened and chosen with real clicks (one opening upwards), Tab and the arrow keys, a message box found and
# dismissed, and Alt+F4 through the window manager. Screenshots go to <build>/e2e/platform/.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
demo=$build/tests/e2e/e2e_platform_demo
out=$build/e2e/platform
for tool in xvfb-run openbox xdotool import xwininfo xprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -x "$demo" ] || { echo "$demo is missing"; exit 1; }
rm -rf "$out"
mkdir -p "$out"
export demo out source_dir

timeout 200 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
source "$source_dir/scripts/x11-window.sh"
log=$out/log.txt
waitfor() {
    for _ in $(seq 150); do
        grep -q "$1" "$log" && return 0
        sleep 0.1
    done
    echo "timed out waiting for \"$1\"; the demo wrote:"
    cat "$log"
    return 1
}
openbox >/dev/null 2>&1 &
sleep 1
SDL_VIDEODRIVER=x11 "$demo" >"$log" 2>&1 &
app=$!
waitfor ready
win=$(WINDOW_WAIT_TENTHS=50 wait_for_window --name "^Platform demo\$") || { echo "no window"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" = 438 ] && [ "$HEIGHT" = 429 ] || { echo "client area ${WIDTH}x$HEIGHT, not 438x429"; exit 1; }
click() {
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
    sleep 0.5
}
sleep 0.5
import -window root "$out/closed.png"

click 70 188                      # the resolution list opens below its box
import -window root "$out/open.png"
click 100 $((200 + 4 * 13 + 6))   # its fifth entry
waitfor "select 1004 4 1280x1024"

click 70 411                      # the language list has no room below: it opens upwards
import -window root "$out/language-open.png"
click 100 $((348 + 2 * 13 + 6))   # its third entry
waitfor "select 1006 2 polski"

xdotool key --window "$win" Tab Down   # focus on to the quality list, next entry
waitfor "select 1007 1 Low"

sleep 0.3
import -window "$win" "$out/before-box.png"
click 300 350                     # the start area: the demo shows a message box
box=""
for _ in $(seq 50); do
    box=$(xwininfo -root -tree | awk "/\"Valtor\"/ { print \$1 }" | head -n 1 || true)
    [ -n "$box" ] && break
    sleep 0.1
done
[ -n "$box" ] || { echo "no message box"; cat "$log"; exit 1; }
import -window root "$out/message-box.png"
# The box belongs above the dialog (its owner for stacking), so a click on the dialog cannot bury it.
xprop -id "$box" WM_TRANSIENT_FOR | grep -q "window id # " || { echo "the box is not kept above the dialog"; exit 1; }
xdotool mousemove $((X + 20)) $((Y + 20)) click 1
sleep 0.3
# Moved away, it uncovers the dialog, which is painted again while the box still waits.
xdotool windowmove "$box" 0 0
sleep 0.8
import -window "$win" "$out/during-box.png"
if command -v compare >/dev/null 2>&1; then
    differ=$(compare -metric AE "$out/before-box.png" "$out/during-box.png" null: 2>&1 || true)
    [ "$differ" = 0 ] || { echo "the dialog was not painted while the box was up ($differ pixels differ)"; exit 1; }
fi
xdotool key --window "$box" Return
waitfor "box 1"

xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
xdotool key alt+F4
waitfor "^close"
wait $app
grep -q "^destroyed" "$log"
'
echo "screenshots in $out"
