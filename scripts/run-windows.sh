#!/usr/bin/env bash
# `make run-windows`: starts the 32-bit launcher.exe under Wine in build-win32/game, or, without a display,
# the scripted demo (scripts/demo-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
game=build-win32/game
[ -f "$game/launcher.exe" ] || { echo "$game/launcher.exe is missing: run 'make run-windows' (it builds first)."; exit 1; }
scripts/has-wine32.sh || {
  echo "32-bit Wine is not installed (scripts/windows-deps.sh said why), so $game/launcher.exe cannot run here." >&2
  echo "The 64-bit one can: cd build-win64/game && /usr/lib/wine/wine64 launcher.exe (after 'make windows')." >&2
  exit 1
}
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting launcher.exe under Wine in $game (settings in the Wine prefix's %LOCALAPPDATA%\\Quillfen\\Valtor\\1.0\\)."
  cd "$game" && WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" exec wine launcher.exe
fi
exec scripts/demo-windows.sh
