#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and only those missing.
# Safe to run again and again: with everything present it changes nothing and needs no root.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # libraries
  zlib1g-dev libpng-dev libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core libsquish-dev libdeflate-dev
  # the command that opens web pages in the user's browser
  xdg-utils
  # tests, including the end-to-end runs in a virtual X server
  libgtest-dev libgmock-dev locales xvfb xauth xdotool x11-utils imagemagick openbox
  # benchmarks and the peers they are measured against
  libbenchmark-dev libphysfs-dev libpugixml-dev
  # fuzzing (libFuzzer and the sanitizer runtimes)
  clang libclang-rt-14-dev
  # release packages: the Debian package's checker (the packaging tests run it)
  lintian
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: all ${#packages[@]} packages are installed"
  exit 0
fi

echo "bootstrap: missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    run_as_root=(sudo -n)
  else
    echo "bootstrap: installing needs root. Run:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
else
  run_as_root=()
fi

export DEBIAN_FRONTEND=noninteractive
tool=bootstrap
source "$(dirname "$0")/apt-source.sh"
apt_update || true
"${run_as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
echo "bootstrap: installed ${missing[*]}"
