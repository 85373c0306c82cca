#!/usr/bin/env bash
# The Windows release archive as a player gets it: made by cpack from a Windows build, unpacked into an
# empty folder and checked for exactly the game folder's files and its VERSION, for programs without
# debugging sections that import only the system's own DLLs (so that the folder runs alone); then the
# launcher is started there under Wine and closed with Alt+F4, which must write setup.dat.
#   release_archive.sh BUILD WINE   (WINE: wine for the 32-bit build, /usr/lib/wine/wine64 for the 64-bit one)
# Uses $VALTOR_E2E_WINEPREFIX when set, else a prefix of its own.
set -euo pipefail
build=$(cd "$1" && pwd)
WINE=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run openbox xdotool cpack objdump "$WINE"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -f "$build/game/launcher.exe" ] || { echo "$build/game/launcher.exe is missing"; exit 1; }
out=$build/e2e/release_archive
rm -rf "$out"
mkdir -p "$out"
export WINEPREFIX=${VALTOR_E2E_WINEPREFIX:-$out/prefix}

system=win32
grep -q "^CMAKE_CXX_COMPILER_AR:FILEPATH=.*/x86_64-w64-mingw32-" "$build/CMakeCache.txt" && system=win64
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=valtor-frontend-$version-$system
(cd "$build" && cpack -G ZIP -B "$out/dist") >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
archive=$out/dist/$name.zip
[ -f "$archive" ] || { echo "cpack made no $name.zip:"; ls "$out/dist"; exit 1; }
mkdir "$out/player"
(cd "$out/player" && cmake -E tar xf "$archive")
[ "$(ls "$out/player")" = "$name" ] || { echo "the archive does not unpack into one folder $name"; exit 1; }
game=$out/player/$name
expected="VERSION data.pak data2.pak languages.txt launcher.exe paktool.exe selling.exe site.pak valtor.exe \
valtor_low.exe valtor_low2.exe"
got=$(cd "$game" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
[ "$got" = "$expected" ] || { echo "the game folder holds '$got', expected '$expected'"; exit 1; }
[ "$(cat "$game/VERSION")" = "$version" ] || { echo "VERSION holds '$(cat "$game/VERSION")', not $version"; exit 1; }

# The DLLs every Windows since 7 has in its system folder.
system_dlls=" advapi32.dll comdlg32.dll d3d9.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll \
oleaut32.dll setupapi.dll shell32.dll shlwapi.dll user32.dll version.dll winmm.dll "
for program in launcher.exe selling.exe paktool.exe valtor.exe; do
    ! objdump -h "$game/$program" | grep -q '\.debug_' || { echo "$program still has debugging sections"; exit 1; }
    for dll in $(objdump -p "$game/$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z'); do
        [[ $system_dlls == *" $dll "* ]] || { echo "$program needs $dll, which Windows does not have"; exit 1; }
    done
done
echo "archive: $name.zip unpacks into $name/ with the game folder and VERSION $version; stripped programs that need only system DLLs"

export game here WINE
timeout 150 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
openbox >/dev/null 2>&1 &
sleep 1
source "$here/../../scripts/wine-session.sh"
"$WINE" wineboot --init >/dev/null 2>&1 || true
settings=$(wine_folder LOCALAPPDATA)/Quillfen/Valtor/1.0/setup.dat
rm -f "$settings"
(cd "$game" && exec "$WINE" launcher.exe) >"$game/../launcher.log" 2>&1 &
pid=$!
win=$(wait_for_wine_window launcher.exe) || { echo "no launcher window"; cat "$game/../launcher.log"; exit 1; }
sleep 1.5
xdotool windowactivate --sync "$win" key alt+F4
wait_for_end "$pid"
[ "$status" = 0 ] || { echo "launcher exit code $status"; cat "$game/../launcher.log"; exit 1; }
[ "$(stat -c %s "$settings" 2>/dev/null)" = 60 ] || { echo "no 60-byte setup.dat after Alt+F4"; exit 1; }
'
echo "unpacked game folder: the launcher shows its window under Wine and writes setup.dat when closed"
