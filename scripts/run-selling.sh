#!/usr/bin/env bash
# `make run-selling`: starts the selling screen in the sample game folder, or, without a display, the
# scripted demo under a virtual X server (screenshots in build/demo/, a buy click with a stand-in browser).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/game/selling ]; then
  echo "build/game/selling is not built yet: run 'make build'"
  exit 1
fi
if [ -n "${DISPLAY:-}" ]; then
  cd build/game && exec ./selling
fi
exec scripts/selling-demo.sh build build/demo
