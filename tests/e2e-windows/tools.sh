#!/usr/bin/env bash
# paktool.exe and gfxtool.exe of a Windows build under Wine, started from a command line the way a game
# developer starts them, on files and folders whose names no 8-bit code page holds (Cyrillic, German and
# Chinese in one name):
#   - gfxtool makes a texture file from a picture and a picture from it again, pixel for pixel;
#   - paktool packs the folder, lists the members under their names and extracts them byte for byte;
#   - a failed run leaves an existing output as it was.
#   tools.sh BUILD WINE        (WINE: wine for the 32-bit build, /usr/lib/wine/wine64 for the 64-bit one)
# Uses $VALTOR_E2E_WINEPREFIX when set, else a prefix of its own. Needs no display.
set -euo pipefail
build=$(cd "$1" && pwd)
WINE=$2
here=$(cd "$(dirname "$0")" && pwd)
assets=$(cd "$here/../../assets" && pwd)
out=$build/e2e/tools
for tool in compare "$WINE"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
gfxtool=$build/tools/gfxtool/gfxtool.exe
paktool=$build/tools/paktool/paktool.exe
for program in "$gfxtool" "$paktool"; do
    [ -f "$program" ] || { echo "$program is missing"; exit 1; }
done
export WINEPREFIX=${VALTOR_E2E_WINEPREFIX:-$out/prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
rm -rf "$out"
mkdir -p "$out"
"$WINE" wineboot --init >/dev/null 2>&1 || true

# The Windows spelling of a path below /, through the Z: drive every prefix has.
windows() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }
fail() { echo "$1"; exit 1; }

folder="$out/Фото Größe 画像"
mkdir -p "$folder"
picture="$folder/Hintergrund фон 背景.png"
texture="$folder/текстура 纹理.gfx"
back="$folder/снова wieder 再次.png"
cp "$assets/launcher/launcher_bg_english.png" "$picture"

# --- gfxtool: a picture to a texture file and back
"$WINE" "$gfxtool" frompng "$(windows "$picture")" "$(windows "$texture")" --storage alpha --format argb8888 \
    -q || fail "frompng failed"
[ -s "$texture" ] || fail "frompng wrote no '$texture'"
"$WINE" "$gfxtool" topng "$(windows "$texture")" "$(windows "$back")" -q || fail "topng failed"
differing=$(compare -metric AE "$picture" "$back" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "the picture made again differs in $differing pixels"
info=$("$WINE" "$gfxtool" info "$(windows "$texture")" | tr -d '\r')
grep -q "loads: *yes" <<<"$info" || fail "info does not load the texture file: $info"

# A picture cut short fails and leaves the texture file as it was.
head -c 2000 "$picture" >"$folder/kaputt сломан 坏.png"
cp "$texture" "$out/texture-before"
if "$WINE" "$gfxtool" frompng "$(windows "$folder/kaputt сломан 坏.png")" "$(windows "$texture")" \
    --storage raw --format 2 -q 2>/dev/null; then
    fail "a picture cut short was taken"
fi
cmp -s "$texture" "$out/texture-before" || fail "a failed run changed '$texture'"
rm "$folder/kaputt сломан 坏.png"

# --- paktool: the folder into an archive, listed, extracted
archive="$out/Архив 档案.pak"
"$WINE" "$paktool" create "$(windows "$archive")" --base "$(windows "$out")" "$(windows "$folder")" -q ||
    fail "create failed"
listing=$("$WINE" "$paktool" list "$(windows "$archive")" | tr -d '\r')
for name in "$picture" "$texture" "$back"; do
    member=${name#"$out/"}
    grep -qxF "$member" <<<"$listing" || fail "the archive does not list '$member': $listing"
done
copy="$out/Kopie копия 副本"
mkdir -p "$copy"
"$WINE" "$paktool" extract "$(windows "$archive")" --to "$(windows "$copy")" -q || fail "extract failed"
for name in "$picture" "$texture" "$back"; do
    cmp -s "$name" "$copy/${name#"$out/"}" || fail "'${name#"$out/"}' did not come back byte for byte"
done
echo "tools under $(basename "$WINE"): names outside the code page in and out, archive round trip"
