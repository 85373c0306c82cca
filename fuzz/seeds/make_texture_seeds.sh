#!/usr/bin/env bash
# Writes small texture files of every storage code into fuzz/seeds/fuzz_texture_file/ (the fuzzer's seeds),
# made with gfxtool from a picture with transparent, partly transparent and opaque pixels.
# Usage: fuzz/seeds/make_texture_seeds.sh path/to/gfxtool
set -euo pipefail
tool=${1:?usage: $0 GFXTOOL}
here=$(cd "$(dirname "$0")" && pwd)
out=$here/fuzz_texture_file
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
python3 - "$work/picture.png" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
width, height = 6, 8
rows = []
for y in range(height):
    row = b"\x00"
    for x in range(width):
        alpha = (0, 0x80, 0xFF)[(x + 2 * y) % 3]
        row += bytes((x * 40, y * 30, 0x90, alpha) if alpha else (0, 0, 0, 0))
    rows.append(row)
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))
open(sys.argv[1], "wb").write(png)
PY
"$tool" frompng "$work/picture.png" "$out/raw_argb8888_2frames.gfx" --storage raw --format 2 --frames 2 >/dev/null
"$tool" frompng "$work/picture.png" "$out/raw_rgb565.gfx" --storage raw --format 3 >/dev/null
"$tool" frompng "$work/picture.png" "$out/plain_argb4444.gfx" --storage plain --format 4 >/dev/null
"$tool" frompng "$work/picture.png" "$out/plain_argb8888_4frames.gfx" --storage plain --format 2 --frames 4 >/dev/null
"$tool" frompng "$work/picture.png" "$out/alpha_argb4444_2frames.gfx" --storage alpha --format 4 --frames 2 >/dev/null
"$tool" frompng "$work/picture.png" "$out/alpha_rgb565.gfx" --storage alpha --format 3 >/dev/null
"$tool" frompng "$work/picture.png" "$out/alpha_argb8888.gfx" --storage alpha --format 2 >/dev/null
# Files of the sizes that matter, written directly: a small packed file whose every row is one transparent
# segment, so that 32 KB declare 4096 x 4096 pixels, and headers that declare the largest sides over a few
# bytes of data (the raw one must not load; packed frames may hold fewer rows than declared).
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
def header(fmt, storage, width, height, frames):
    return struct.pack("<iiiihhiiii", fmt, storage, width, height, frames, 0, 0, 0, 0, 0)
rows = struct.pack("<II", 4096 * 4, 0) * 4096
open(out + "/large_plain_transparent_4096.gfx", "wb").write(header(2, 1, 4096, 4096, 1) + struct.pack("<I", len(rows)) + rows)
open(out + "/hostile_raw_declares_16384.gfx", "wb").write(header(2, 0, 16384, 16384, 1) + struct.pack("<I", 0xFFFFFFF0) + bytes(16))
open(out + "/large_alpha_declares_16384_one_row.gfx", "wb").write(header(2, 2, 16384, 16384, 3) + struct.pack("<III", 12, 0, 0) + struct.pack("<III", 16384 * 4, 0, 0))
PY
