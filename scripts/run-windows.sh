#!/usr/bin/env bash
# `make run-windows`: starts the 32-bit launcher.exe under Wine in build-win32/game, or, without a display,
# the scripted demo (scripts/demo-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
game=build-win32/game
[ -f "$game/launcher.exe" ] || { echo "$game/launcher.exe is missing: run 'make run-windows' (it builds first)."; exit 1; }
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting launcher.exe under Wine in $game (settings in the Wine prefix's %LOCALAPPDATA%\\Quillfen\\Valtor\\1.0\\)."
  cd "$game" && WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" exec wine launcher.exe
fi
exec scripts/demo-windows.sh
