#!/usr/bin/env bash
# Runs the cross-built suites of build-win32/ (first: the arch players get) and build-win64/ under Wine,
# through CTest, in one fresh Wine prefix per run (made in a temporary folder, removed at the end).
#   scripts/windows-test.sh [ctest arguments...]
set -euo pipefail
# A virtual display, so that Wine's Direct3D can answer the adapter questions (without one they are skipped).
# Its size is the one the end-to-end runs give their own displays: the prefix's desktop, made on this one,
# tells every program of the run the display modes it has.
if [ -z "${DISPLAY:-}" ] && [ -z "${VALTOR_WINDOWS_TEST_XVFB:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  VALTOR_WINDOWS_TEST_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
here=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/valtor-wine.XXXXXX")
export WINEPREFIX=$scratch/prefix
# The end-to-end runs use this prefix too, rather than making one each.
export VALTOR_E2E_WINEPREFIX=$WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko installers: the programs need neither, and asking for them would stall the run. No crash
# debugger either: a program that crashes ends at once (and fails its test) instead of waiting for one.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

started=$(date +%s)
# One server for the whole run, started before the prefix is made: every test is a process of its own,
# and starting a server each time would cost more than the tests.
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
echo "windows-test: Wine prefix ready in $(($(date +%s) - started)) s"

status=0
for build in build-win32 build-win64; do
  if [ ! -f "$here/$build/CTestTestfile.cmake" ]; then
    echo "windows-test: $build is not built (make windows)" >&2
    status=1
    continue
  fi
  if [ "$build" = build-win32 ] && ! "$here/scripts/has-wine32.sh"; then
    echo "windows-test: WARNING: $build NOT TESTED: 32-bit Wine is not installed (windows-deps.sh said why)" >&2
    continue
  fi
  echo "windows-test: $build"
  # Wine's own loader now and then dies with SIGSEGV as a test program ends (about 1 run in 50 of a test
  # that only skips: inside Wine's Unix-side ntdll, in a signal taken by a thread that is going away, with
  # no Windows exception before it; seen twice in a row once), so a failed test gets two more tries; one
  # that fails three times fails the run.
  (cd "$here/$build" && ctest --output-on-failure -j "${JOBS:-2}" --repeat until-pass:3 "$@") || status=1
done
exit $status
