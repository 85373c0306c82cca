#!/usr/bin/env bash
# selling.exe of a Windows build under Wine, in a virtual X server with a window manager:
#   - it opens showing the background picture; the pointer over a button shows exactly that button's lit
#     picture, and off the buttons the background again;
#   - a click on the buy button ends it and starts the command that the registry holds for web pages
#     (HKEY_CLASSES_ROOT\htmlfile\shell\open\command, here a command that records its argument) with the
#     shop address from site.pak;
#   - without a mouse, Tab lights the buy button with a ring around it and Enter buys;
#   - a click on the close button, and Alt+F4 (the close box), end it and start nothing.
#   selling.sh BUILD WINE        (WINE: wine for the 32-bit build, /usr/lib/wine/wine64 for the 64-bit one)
# Screenshots go to BUILD/e2e/selling/. Uses $VALTOR_E2E_WINEPREFIX when set, else a prefix of its own.
set -euo pipefail
build=$(cd "$1" && pwd)
WINE=$2
here=$(cd "$(dirname "$0")" && pwd)
assets=$(cd "$here/../../assets" && pwd)
out=$build/e2e/selling
for tool in xvfb-run openbox xdotool xwininfo import compare convert "$WINE"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -f "$build/game/selling.exe" ] || { echo "$build/game/selling.exe is missing"; exit 1; }
rm -rf "$out"
mkdir -p "$out/pictures"
pictures=$out/pictures
convert "$assets/selling_bg.png" -alpha off "$pictures/expected.png"
convert "$assets/selling_bg.png" "$assets/selling_234_418_button.png" -geometry +234+418 -composite \
    -alpha off "$pictures/expected-lit.png"
convert "$assets/selling_bg.png" "$assets/selling_373_446_button.png" -geometry +373+446 -composite \
    -alpha off "$pictures/expected-close-lit.png"
if [ -n "${VALTOR_E2E_WINEPREFIX:-}" ]; then
    export WINEPREFIX=$VALTOR_E2E_WINEPREFIX
else
    export WINEPREFIX=$out/prefix
fi
export out pictures build here WINE

timeout 200 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
openbox >/dev/null 2>&1 &
sleep 1
source "$here/../../scripts/wine-session.sh"
"$WINE" wineboot --init >/dev/null 2>&1 || true
record=$WINEPREFIX/drive_c/shop-page.txt
"$WINE" reg add "HKCR\\htmlfile\\shell\\open\\command" /ve /d "C:\\windows\\system32\\cmd.exe /c echo %1> C:\\shop-page.txt" /f >/dev/null 2>&1

# The picture part of a screenshot: the client area starts at $client in the window.
client=+0+0
picture() { convert "$1" -crop "440x497$client" +repage -alpha off -depth 8 "$1.picture.png"; }
same() {  # screenshot expected
    picture "$1"
    local count
    count=$(differing "$1.picture.png" "$2")
    [ "$count" = 0 ] || { echo "$(basename "$1") differs from $(basename "$2") in $count pixels"; return 1; }
}

# Starts selling.exe in a fresh copy of the game folder: sets run, pid, win, X, Y.
start() {
    run=$out/$1
    mkdir -p "$run"
    cp -r "$build/game" "$run/game"
    rm -f "$record"
    (cd "$run/game" && exec "$WINE" selling.exe) >"$run/selling.log" 2>&1 &
    pid=$!
    win=$(wait_for_wine_window selling.exe) || { echo "$1: no window"; cat "$run/selling.log"; exit 1; }
    sleep 1.5
    client_geometry "$win"
}
move() { xdotool mousemove $((X + $1)) $((Y + $2)); sleep 0.8; }
finish() {
    wait_for_end "$pid"
    [ "$status" = 0 ] || { echo "$1: exit code $status"; cat "$run/selling.log"; exit 1; }
}

# --- the screen, its buttons under the pointer, and the buy button
start buy
move 20 20
import -window "$win" "$out/selling.png"
for client in +0+0 +1+1 none; do
    [ "$client" != none ] || { same "$out/selling.png" "$pictures/expected.png"; exit 1; }
    same "$out/selling.png" "$pictures/expected.png" 2>/dev/null && break
done
move 300 470
import -window "$win" "$out/selling-lit.png"
same "$out/selling-lit.png" "$pictures/expected-lit.png"
move 400 470
import -window "$win" "$out/selling-close-lit.png"
same "$out/selling-close-lit.png" "$pictures/expected-close-lit.png"
move 20 20
import -window "$win" "$out/selling-after.png"
same "$out/selling-after.png" "$pictures/expected.png"
echo "buttons: each lights under the pointer, exactly its own picture, and goes dark again"
click_at $((X + 300)) $((Y + 470))
finish buy
for _ in $(seq 50); do [ -s "$record" ] && break; sleep 0.1; done
[ "$(tr -d "\r\n " <"$record" 2>/dev/null)" = "https://shop.example.com/valtor" ] ||
    { echo "buy: the registered command got: $(cat "$record" 2>&1)"; exit 1; }
echo "buy button: the registered command started with the shop address"

# --- without a mouse: Tab lights the buy button, with a ring around it; Enter buys
start keyboard
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
sleep 0.3
xdotool key Tab
sleep 0.8
import -window "$win" "$out/selling-keyboard.png"
picture "$out/selling-keyboard.png"
shown=$out/selling-keyboard.png.picture.png
ring=$(convert "$shown" -crop "1x1+230+445" -depth 8 txt:- | grep -o "#[0-9A-F]\{6\}" | head -1)
[ "$ring" = "#0078D7" ] || { echo "keyboard: no ring around the buy button (pixel $ring)"; exit 1; }
convert "$shown" -crop 100x30+250+455 +repage "$out/keyboard-button.png"
convert "$pictures/expected-lit.png" -crop 100x30+250+455 +repage "$pictures/lit-button.png"
[ "$(differing "$out/keyboard-button.png" "$pictures/lit-button.png")" = 0 ] ||
    { echo "keyboard: the buy button is not lit"; exit 1; }
xdotool key Return
finish keyboard
for _ in $(seq 50); do [ -s "$record" ] && break; sleep 0.1; done
[ "$(tr -d "\r\n " <"$record" 2>/dev/null)" = "https://shop.example.com/valtor" ] ||
    { echo "keyboard: Enter on the buy button did not start the command: $(cat "$record" 2>&1)"; exit 1; }
echo "keyboard: Tab lights the buy button and rings it; Enter starts the registered command"

# --- the close button and the close request start nothing
start close-button
click_at $((X + 400)) $((Y + 470))
finish close-button
start alt-f4
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
sleep 0.3
xdotool key alt+F4
finish alt-f4
sleep 1
[ ! -e "$record" ] || { echo "close: something was started: $(cat "$record")"; exit 1; }
echo "close button and Alt+F4: the screen ends and starts nothing"
'
echo "screenshots in $out"
