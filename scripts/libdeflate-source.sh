#!/usr/bin/env bash
# Unpacks Debian's source of libdeflate, the version the system's libdeflate-dev is built from, into a folder
# (default build-fuzz/libdeflate), once. The fuzz build compiles it with the fuzzer's coverage and the
# sanitizers, so that they see inside the decoder that WholeInflater hands archive data to.
#
#   scripts/libdeflate-source.sh [folder]
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-build-fuzz/libdeflate}
if [ -f "$target/lib/deflate_decompress.c" ]; then
  exit 0
fi

tool=libdeflate-source
source scripts/apt-source.sh

ensure_source_entries

scratch=$(mktemp -d "${TMPDIR:-/tmp}/libdeflate-source.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && apt-get source -qq libdeflate >/dev/null 2>&1) || {
  echo "libdeflate-source: apt-get source libdeflate failed" >&2
  exit 1
}
unpacked=$(find "$scratch" -maxdepth 1 -mindepth 1 -type d -name 'libdeflate-*' | head -1)
mkdir -p "$(dirname "$target")"
rm -rf "$target"
mv "$unpacked" "$target"
echo "libdeflate-source: unpacked $(basename "$unpacked") into $target"
