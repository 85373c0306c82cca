#!/usr/bin/env bash
# Runs libFuzzer targets for the given number of seconds each, with their seeds and a corpus folder of their
# own, under resource limits that flag slow, memory-hungry and crashing inputs:
#   scripts/fuzz.sh [seconds] [fuzz_name ...]      (all built targets when no name is given)
# Every target gets -max_len=1048576 -rss_limit_mb=512 -malloc_limit_mb=256 -timeout=10 unless its options
# file fuzz/<name without fuzz_>.options sets another value (lines "max_len=65536"; "#" starts a comment).
# Findings (crash-, leak-, timeout-, oom-, slow-unit- files) land in build-fuzz/findings/<target>/. At the
# end one summary lists executions and findings per target; the script fails if any target found something.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

targets=()
if [ $# -gt 0 ]; then
  for name in "$@"; do targets+=("build-fuzz/fuzz/$name"); done
else
  shopt -s nullglob
  targets=(build-fuzz/fuzz/fuzz_*)
fi

# Prints the value of one option for a target: its options file, else the default.
option() {
  local file=$1 key=$2 default=$3 value=""
  if [ -f "$file" ]; then
    value=$(sed -e 's/#.*//' "$file" | awk -F= -v k="$key" '{gsub(/[ \t]/, "")} $1 == k {v = $2} END {print v}')
  fi
  echo "${value:-$default}"
}

# AddressSanitizer keeps freed memory in quarantine (256 MB by default) to catch late uses; that memory
# would count against the RSS limit, which is meant for the program's own memory.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}

summary=()
failed=0
ran=0
for target in "${targets[@]}"; do
  [ -x "$target" ] || { echo "fuzz: $target is not built" >&2; failed=1; continue; }
  name=$(basename "$target")
  options=fuzz/${name#fuzz_}.options
  corpus=build-fuzz/corpus/$name
  findings=build-fuzz/findings/$name
  log=build-fuzz/logs/$name.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  flags=(
    -max_total_time="$seconds"
    -max_len="$(option "$options" max_len 1048576)"
    -rss_limit_mb="$(option "$options" rss_limit_mb 512)"
    -malloc_limit_mb="$(option "$options" malloc_limit_mb 256)"
    -timeout="$(option "$options" timeout 10)"
    -print_final_stats=1
    -artifact_prefix="$findings/"
  )
  before=$(find "$findings" -type f | wc -l)
  echo "== $name for ${seconds}s: ${flags[*]:1:4}"
  "$target" "${flags[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1
  status=$?
  tail -n 20 "$log"
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  found=$(($(find "$findings" -type f | wc -l) - before))
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then
    found=1  # the target failed without writing an input (for example it could not start)
  fi
  [ "$found" -gt 0 ] && failed=1
  summary+=("$(printf '%-24s %12s executions  %3d findings  exit %d' "$name" "${executions:-?}" "$found" "$status")")
  ran=1
done

if [ "$ran" = 0 ]; then
  echo "No fuzz targets are built yet."
  exit "$failed"
fi
echo
echo "== Summary (${seconds}s per target; logs in build-fuzz/logs, findings in build-fuzz/findings)"
printf '%s\n' "${summary[@]}"
exit "$failed"
