#!/usr/bin/env bash
# `make run`: starts the launcher in the sample game folder, or, without a display, the scripted demo.
set -euo pipefail
cd "$(dirname "$0")/.."
game=build/game
[ -x "$game/launcher" ] || { echo "$game/launcher is missing: run 'make run' (it builds first)."; exit 1; }
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the launcher in $game (settings in \${XDG_DATA_HOME:-~/.local/share}/Quillfen/Valtor/1.0/)."
  cd "$game" && exec ./launcher
fi
exec scripts/demo.sh
