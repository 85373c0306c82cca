#!/usr/bin/env bash
# Installs what the Windows builds need and cross-builds the libraries Debian does not ship for mingw-w64.
#
#   scripts/windows-deps.sh [i686-w64-mingw32|x86_64-w64-mingw32 ...]   (default: both)
#
# From Debian's archive: the mingw-w64 cross compilers, zlib for them (libz-mingw-w64-dev), Wine for both
# arches, the 32-bit OpenGL libraries that 32-bit Wine's Direct3D draws with, and Xvfb for a display.
# libpng, SDL2, libsquish, libdeflate and GoogleTest are built from Debian's own source packages
# (apt-get source) into one prefix per arch:
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/valtor-windeps/<arch>   (the toolchain files look there too)
#
# A prefix is built in a scratch folder and moved into place only when every library is in it, and it is
# reused as long as it carries the stamp of this recipe; so an interrupted build is redone, a complete one
# is never built twice, and a change of the recipe below builds afresh.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(i686-w64-mingw32 x86_64-w64-mingw32)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/valtor-windeps
source_packages=(libpng1.6 libsdl2 libsquish libdeflate googletest)
# Changing how a library is built changes this line, which makes every prefix stale.
recipe="recipe 3: ${source_packages[*]}; static; SDL2 without audio and input devices; libdeflate by its Makefile"

log() { echo "windows-deps: $*"; }

tool=windows-deps
source "$(dirname "$0")/apt-source.sh"

prefix_of() { echo "$cache_root/$1"; }
prefix_complete() { [ -f "$1/.complete" ] && [ "$(cat "$1/.complete")" = "$recipe" ]; }

install_packages() {
  local packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 libz-mingw-w64-dev
    wine wine32:i386 wine64 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 dpkg-dev cmake ninja-build pkg-config
    xvfb xauth)
  local missing=() package status
  for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  log "installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  local lists_complete=1
  apt_update || lists_complete=0
  if apt_install "${missing[@]}"; then
    return 0
  fi
  # With an index missing, what fails is nearly always the i386 part: its libraries must have the very
  # versions of the amd64 ones, and the security updates of those are in the index that did not arrive.
  # Everything else is still installed, so that both arches are built and the 64-bit one is tested; the
  # 32-bit programs cannot run here then, which the build and the test run say (scripts/has-wine32.sh).
  [ "$lists_complete" -eq 0 ] || return 1
  local others=()
  for package in "${missing[@]}"; do
    [[ $package == *:i386 ]] || others+=("$package")
  done
  [ ${#others[@]} -eq 0 ] || apt_install "${others[@]}"
  log "WARNING: 32-bit Wine could not be installed, since the package lists are incomplete (see above)." \
    "Both arches are built, build-win32/ packs its archives with the Linux paktool, and only the 64-bit" \
    "programs are run and tested. Run this again once the mirror answers."
}

apt_install() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}

# Unpacks every source package once into $sources (shared by both arches).
fetch_sources() {
  local package
  mkdir -p "$sources"
  for package in "${source_packages[@]}"; do
    [ -n "$(find "$sources" -maxdepth 1 -type d -name "$package-*" -print -quit)" ] && continue
    log "fetching the source package $package"
    (cd "$sources" && apt-get source -qq "$package" >/dev/null 2>&1) || {
      echo "windows-deps: apt-get source $package failed" >&2
      exit 1
    }
  done
}

source_dir() {
  local dir
  dir=$(find "$sources" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | sort | tail -1)
  [ -n "$dir" ] || {
    echo "windows-deps: no unpacked source for $1" >&2
    exit 1
  }
  echo "$dir"
}

# cmake_build NAME SOURCE_DIR ARCH PREFIX [CMAKE OPTIONS...]
cmake_build() {
  local name=$1 src=$2 arch=$3 prefix=$4
  shift 4
  log "$arch: building $name"
  local build=$work/build-$arch-$name
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch.cmake" -DVALTOR_WINDEPS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_POLICY_DEFAULT_CMP0077=NEW "$@" >"$build.log" 2>&1 &&
    cmake --build "$build" -j "${JOBS:-2}" >>"$build.log" 2>&1 &&
    cmake --install "$build" >>"$build.log" 2>&1 || {
    echo "windows-deps: $arch: $name failed; the last lines of $build.log:" >&2
    tail -30 "$build.log" >&2
    exit 1
  }
}

# make_build_libdeflate SOURCE_DIR ARCH PREFIX: its source has a plain Makefile, no CMake. For mingw it names
# the static library libdeflatestatic.lib; it is installed as libdeflate.a, the name the cross linker and
# CMake's find_library look for.
make_build_libdeflate() {
  local src=$1 arch=$2 prefix=$3
  log "$arch: building libdeflate"
  local build=$work/build-$arch-libdeflate
  cp -r "$src" "$build"
  {
    make -C "$build" -j "${JOBS:-2}" CC="$arch-gcc" AR="$arch-ar" CFLAGS=-O2 DISABLE_SHARED=1 \
      libdeflatestatic.lib &&
      install -D -m 644 "$build/libdeflatestatic.lib" "$prefix/lib/libdeflate.a" &&
      install -D -m 644 "$build/libdeflate.h" "$prefix/include/libdeflate.h"
  } >"$build.log" 2>&1 || {
    echo "windows-deps: $arch: libdeflate failed; the last lines of $build.log:" >&2
    tail -30 "$build.log" >&2
    exit 1
  }
}

# The pkg-config files and config scripts name the folder they were installed into: point them at the
# prefix's final place (also in prefixes made before this was done).
settle_paths() {
  local from=$1 to=$2 file
  { grep -rlIF -- "$from" "$to" 2>/dev/null || true; } | while read -r file; do
    sed -i "s|$from|$to|g" "$file"
  done
}

build_prefix() {
  local arch=$1 final
  final=$(prefix_of "$arch")
  if prefix_complete "$final"; then
    log "$arch: $final is complete"
    return 0
  fi
  local prefix=$final.partial
  rm -rf "$prefix"
  mkdir -p "$prefix"
  cmake_build libpng "$(source_dir libpng1.6)" "$arch" "$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON
  # The framework takes only threads, locks and semaphores from SDL2 on Windows. Video stays in: SDL2's
  # Windows build does not link without it.
  cmake_build SDL2 "$(source_dir libsdl2)" "$arch" "$prefix" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON -DSDL_AUDIO=OFF \
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF
  cmake_build libsquish "$(source_dir libsquish)" "$arch" "$prefix" \
    -DBUILD_SQUISH_WITH_OPENMP=OFF -DBUILD_SQUISH_EXTRA=OFF
  make_build_libdeflate "$(source_dir libdeflate)" "$arch" "$prefix"
  cmake_build GoogleTest "$(source_dir googletest)" "$arch" "$prefix" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  echo "$recipe" >"$prefix/.complete"
  rm -rf "$final"
  mv "$prefix" "$final"
  settle_paths "$prefix" "$final"
  log "$arch: built $final"
}

install_packages
pending=()
for arch in "${arches[@]}"; do
  case $arch in
    i686-w64-mingw32 | x86_64-w64-mingw32) ;;
    *)
      echo "windows-deps: unknown arch $arch" >&2
      exit 2
      ;;
  esac
  if prefix_complete "$(prefix_of "$arch")"; then
    settle_paths "$(prefix_of "$arch").partial" "$(prefix_of "$arch")"
  else
    pending+=("$arch")
  fi
done
if [ ${#pending[@]} -eq 0 ]; then
  log "every prefix is complete"
  exit 0
fi

ensure_source_entries
work=$(mktemp -d "${TMPDIR:-/tmp}/valtor-windeps.XXXXXX")
trap 'rm -rf "$work"' EXIT
sources=$work/sources
fetch_sources
for arch in "${pending[@]}"; do
  build_prefix "$arch"
done
