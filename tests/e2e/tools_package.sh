#!/usr/bin/env bash
# The Debian package of the tools: made by cpack from this build, its control data and contents read with
# dpkg-deb, checked by lintian (no error), and the unpacked tools run and name this build's version.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in cpack dpkg-deb lintian; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
if grep -q '^MT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    echo "a sanitizer build: the tools package is made from the default build; skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

version=$("$build/tools/paktool/paktool" --version | awk '{ print $2 }')
(cd "$build" && cpack -G DEB -B "$work/dist") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
package=$work/dist/valtor-tools_${version}_amd64.deb
[ -f "$package" ] || { echo "cpack made no valtor-tools_${version}_amd64.deb:"; ls "$work/dist"; exit 1; }

info=$(dpkg-deb --info "$package")
for field in "Package: valtor-tools" "Version: $version" "Architecture: amd64" "Depends: .*libpng16-16" \
    "Depends: .*zlib1g" "Maintainer: .*<.*@.*>"; do
    grep -q "^ $field" <<<"$info" || { echo "control data lacks '$field':"; echo "$info"; exit 1; }
done
contents=$(dpkg-deb --contents "$package" | awk '{ print $6 }')
for file in ./usr/bin/paktool ./usr/bin/gfxtool ./usr/share/man/man1/paktool.1.gz ./usr/share/man/man1/gfxtool.1.gz \
    ./usr/share/doc/valtor-tools/copyright ./usr/share/doc/valtor-tools/changelog.gz; do
    grep -qx -- "$file" <<<"$contents" || { echo "the package lacks $file"; exit 1; }
done

# Errors fail the test; warnings are shown.
lintian --tag-display-limit 0 "$package" >"$work/lintian.log" 2>&1 || true
grep -v "running with root privileges" "$work/lintian.log" || true
if grep -q "^E: " "$work/lintian.log"; then
    echo "lintian reports errors"
    exit 1
fi

dpkg-deb -x "$package" "$work/root"
for tool in paktool gfxtool; do
    [ "$("$work/root/usr/bin/$tool" --version)" = "$tool $version" ] || { echo "$tool --version is wrong"; exit 1; }
    zcat "$work/root/usr/share/man/man1/$tool.1.gz" | grep -q "^\.TH ${tool^^} 1" ||
        { echo "$tool.1.gz is not the tool's manual page"; exit 1; }
done
echo "tools package: valtor-tools_${version}_amd64.deb, dpkg-deb and lintian without error"
