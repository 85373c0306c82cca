#!/usr/bin/env bash
# `make run`: starts the launcher in the sample game folder, or, without a display, the scripted demo.
set -euo pipefail
cd "$(dirname "$0")/.."
game=build/game
if [ ! -x build/launcher/launcher ]; then
  echo "The launcher is not built yet. What exists so far:"
  echo "  - the framework library build/libmt.a and the stand-in layer build/libplatform.a"
  echo "  - the test suites: run 'make test' (or 'cd build && ctest -N' to list them)"
  exit 0
fi
if [ -n "${DISPLAY:-}" ]; then
  cd "$game" && exec ./launcher
fi
exec scripts/demo.sh
