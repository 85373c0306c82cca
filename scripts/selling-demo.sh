#!/usr/bin/env bash
# A scripted walk through the selling screen, for `make run-selling` without a display and for the
# end-to-end test: the real program in a copy of the sample game folder, the pointer over the buy button
# (it lights up) and over the close button, then a click on the buy button. The web browser is a stand-in
# that records the command line it was started with, put first in PATH as xdg-open.
#
#   scripts/selling-demo.sh [BUILD_DIR [OUT_DIR]]     (defaults: build, BUILD_DIR/demo)
#
# Writes OUT_DIR/selling.png (the screen as it opens), selling-lit.png (the buy button lit),
# selling-close-lit.png (the close button lit), selling-after.png (the pointer gone again) and
# browser-arguments.txt (one argument a line). Without a display it starts a virtual X server with a
# window manager for itself.
set -euo pipefail
source "$(dirname "$0")/x11-window.sh"
build=$(cd "${1:-build}" && pwd)
out=${2:-$build/demo}
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in xdotool xwininfo import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "selling demo: $tool is missing (scripts/bootstrap.sh installs it)"; exit 77; }
done
if [ -z "${DISPLAY:-}" ]; then
    for tool in xvfb-run openbox; do
        command -v "$tool" >/dev/null 2>&1 || { echo "selling demo: $tool is missing"; exit 77; }
    done
    export SELLING_DEMO_WM=1
    exec timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out"
fi

[ -x "$build/game/selling" ] || { echo "selling demo: $build/game/selling is not built"; exit 1; }
work=$(mktemp -d /tmp/selling-demo-XXXXXX)
wm=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
if [ -n "${SELLING_DEMO_WM:-}" ]; then
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
fi

cp "$build/game/data.pak" "$build/game/data2.pak" "$build/game/site.pak" "$work/"
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<'EOF'
#!/bin/sh
# Stand-in web browser: records its arguments, one a line.
printf '%s\n' "$@" >"$SELLING_BROWSER_RECORD.part"
mv "$SELLING_BROWSER_RECORD.part" "$SELLING_BROWSER_RECORD"
EOF
chmod +x "$work/bin/xdg-open"
record=$out/browser-arguments.txt
rm -f "$record" "$out"/selling*.png

# The screen as the user sees it: the window's client area.
shoot() {
    import -window "$win" "$out/$1"
}

(cd "$work" && exec env PATH="$work/bin:$PATH" SELLING_BROWSER_RECORD="$record" SDL_VIDEODRIVER=x11 \
    SDL_RENDER_DRIVER=software "$build/game/selling") >"$out/selling-log.txt" 2>&1 &
app=$!
win=$(wait_for_window --onlyvisible --name "^Valtor\$") ||
    { echo "selling demo: no window"; cat "$out/selling-log.txt"; exit 1; }
client_geometry "$win"
echo "selling demo: window ${WIDTH}x$HEIGHT at $X,$Y"
point() {
    xdotool mousemove $((X + $1)) $((Y + $2))
    sleep 0.5
}

point 20 20
shoot selling.png
point 300 470
shoot selling-lit.png
point 400 470
shoot selling-close-lit.png
point 20 20
shoot selling-after.png
point 300 470
xdotool click 1

status=0
wait "$app" || status=$?
app=""
echo "selling demo: the program ended with exit code $status"
for _ in $(seq 50); do
    [ -f "$record" ] && break
    sleep 0.1
done
if [ ! -f "$record" ]; then
    echo "selling demo: the browser was not started"
    exit 1
fi
echo "selling demo: the browser was started as: xdg-open $(paste -sd ' ' "$record")"
echo "selling demo: screenshots in $out"
exit "$status"
