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

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo -n "$@"
  else
    echo "libdeflate-source: '$*' needs root" >&2
    exit 1
  fi
}

# apt-get source needs deb-src entries; without any, one is added beside the binary ones (as
# scripts/windows-deps.sh does).
if ! grep -Rqs -e '^Types:.*deb-src' -e '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  as_root tee /etc/apt/sources.list.d/valtor-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  as_root apt-get update -qq
fi

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
