#!/usr/bin/env bash
# The framework as another project meets it: installs the build into an empty prefix, configures and builds
# this folder's program against the installed package only, and runs it on the sample folder's site.pak.
#   check.sh BUILD_DIR [LINK_FLAGS]   (LINK_FLAGS: what a program linking this build's libraries needs, such as
#                                    the sanitizer runtimes)
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
archive=$build/game/site.pak
[ -f "$archive" ] || { echo "$archive is missing: build the game folder first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" ||
    { cat "$work/install.log"; exit 1; }
for file in lib/libmt.a lib/libplatform.a include/mt/file/FileManager.h include/platform/HostFile.h \
    lib/cmake/mt/mtConfig.cmake bin/paktool bin/gfxtool share/man/man1/paktool.1.gz; do
    [ -e "$work/prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

# A generator and compiler as the build used; the prefix is the only place the framework can come from.
cmake -S "$here" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_EXE_LINKER_FLAGS="${2:-}" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
cmake --build "$work/consumer" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }

# Every framework header the program was compiled with came from the prefix, none from the source tree. The
# records are read whole first: `grep -q` in a pipe would stop reading early, and under pipefail the writer's
# broken pipe would count as a failure.
deps=$(ninja -C "$work/consumer" -t deps)
if grep -E "^ *$source_dir/(mt|platform)/" <<<"$deps"; then
    echo "the program was compiled with headers from the source tree"
    exit 1
fi
grep -q "$work/prefix/include/mt/xml/XmlParser.h" <<<"$deps" ||
    { echo "the program was not compiled with the installed headers"; exit 1; }

expected=$(sed -n 's/.*<selling url="\([^"]*\)".*/\1/p' "$source_dir/assets/url.xml")
got=$(cd "$work" && "$work/consumer/shop-address" "$archive")
[ "$got" = "$expected" ] || { echo "read '$got' from site.pak, expected '$expected'"; exit 1; }
echo "installed package: built against $work/prefix, read '$got' from site.pak"
