#!/usr/bin/env bash
# Runs every benchmark program that the build produced.
set -euo pipefail
cd "$(dirname "$0")/.."
shopt -s nullglob
ran=0
for bench in build/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $bench"
  "$bench"
  ran=1
done
[ "$ran" = 1 ] || echo "No benchmarks are built yet."
