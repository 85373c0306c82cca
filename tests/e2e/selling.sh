#!/usr/bin/env bash
# The real selling program in a virtual X server with a window manager, driven with xdotool:
# - the scripted demo (scripts/selling-demo.sh): the screen as it opens is the background picture, the
#   pointer over a button shows exactly that button's lit picture from the archives, and a click on the buy
#   button starts the browser (a stand-in that records its arguments) with the address from site.pak;
# - a click on the close button, a click on the window's close box and Alt+F4 each end the program with
#   exit code 0 and start nothing.
# Screenshots go to <build>/e2e/selling/.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
out=$build/e2e/selling
for tool in xvfb-run openbox xdotool xwininfo import convert compare; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -x "$build/game/selling" ] || { echo "$build/game/selling is missing"; exit 1; }
rm -rf "$out"
mkdir -p "$out/pictures"
# The pictures as the archive holds them, and the screens they should make.
"$build/tools/paktool/paktool" extract "$build/game/data2.pak" --to "$out/pictures" >/dev/null
pictures=$out/pictures
convert "$pictures/selling_bg.png" -alpha off "$pictures/expected.png"
convert "$pictures/selling_bg.png" "$pictures/selling_234_418_button.png" -geometry +234+418 -composite \
    -alpha off "$pictures/expected-lit.png"
convert "$pictures/selling_bg.png" "$pictures/selling_373_446_button.png" -geometry +373+446 -composite \
    -alpha off "$pictures/expected-close-lit.png"
export build source_dir out pictures

timeout 200 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
openbox >/dev/null 2>&1 &
sleep 1
source "$source_dir/scripts/x11-window.sh"

# Pixels in which two pictures differ.
differing() {
    compare -metric AE -alpha off "$1" "$2" null: 2>&1 || true
}
same() {
    local count
    count=$(differing "$1" "$2")
    [ "$count" = 0 ] || { echo "$(basename "$1") differs from $(basename "$2") in $count pixels"; exit 1; }
}

"$source_dir/scripts/selling-demo.sh" "$build" "$out" | tee "$out/demo.txt"
grep -q "ended with exit code 0" "$out/demo.txt"
[ "$(cat "$out/browser-arguments.txt")" = "https://shop.example.com/valtor" ] || {
    echo "the browser got:"; cat "$out/browser-arguments.txt"; exit 1; }
same "$out/selling.png" "$pictures/expected.png"
same "$out/selling-lit.png" "$pictures/expected-lit.png"
same "$out/selling-close-lit.png" "$pictures/expected-close-lit.png"
same "$out/selling-after.png" "$pictures/expected.png"
[ "$(differing "$out/selling.png" "$out/selling-lit.png")" -gt 1000 ]

# Ends the program in a fresh folder in one of three ways; nothing may be started.
work=$(mktemp -d /tmp/selling-e2e-XXXXXX)
trap "rm -rf $work" EXIT
cp "$build/game/data.pak" "$build/game/data2.pak" "$build/game/site.pak" "$work/"
mkdir "$work/bin"
printf "#!/bin/sh\necho \"\$@\" >>\"%s/started.txt\"\n" "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
end_with() {
    (cd "$work" && exec env PATH="$work/bin:$PATH" SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=software \
        "$build/game/selling") >"$out/log-$1.txt" 2>&1 &
    local app=$! win X Y WIDTH HEIGHT
    win=$(wait_for_window --onlyvisible --name "^Valtor\$") || { echo "$1: no window"; kill $app; exit 1; }
    client_geometry "$win"
    xdotool mousemove $((X + 300)) $((Y + 470))   # over the buy button first
    sleep 0.3
    case $1 in
        close-button) xdotool mousemove $((X + 429)) $((Y + 489)) click 1 ;;
        close-box)    xdotool mousemove $((X + 430)) $((Y - 10)) click 1 ;;  # the title bar, right end
        alt-f4)       xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
                      xdotool key alt+F4 ;;
    esac
    local status=0
    for _ in $(seq 50); do
        kill -0 $app 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 $app 2>/dev/null; then
        echo "$1: the program is still running"; kill $app; exit 1
    fi
    wait $app || status=$?
    [ $status = 0 ] || { echo "$1: exit code $status"; exit 1; }
    echo "$1: ended with exit code 0"
}
end_with close-button
end_with close-box
end_with alt-f4
sleep 0.5
if [ -e "$work/started.txt" ]; then
    echo "the browser was started:"; cat "$work/started.txt"; exit 1
fi
echo "nothing was started"
'
echo "screenshots in $out"
