#!/usr/bin/env python3
"""Writes small PNG pictures of every colour type into fuzz/seeds/fuzz_png_loader/ (the fuzzer's seeds)."""
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fuzz_png_loader")


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(width, height, depth, colour, rows, extra=b"", interlace=0, pixel_bytes=3):
    """rows: unfiltered scanlines; interlaced pictures (8-bit samples only) are split into the seven passes."""
    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    if interlace:
        lines = []
        for x0, y0, dx, dy in ADAM7:
            for y in range(y0, height, dy):
                line = b"".join(rows[y][x * pixel_bytes:(x + 1) * pixel_bytes] for x in range(x0, width, dx))
                if line:
                    lines.append(line)
        rows = lines
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = {
        "rgb8.png": png(4, 3, 8, 2, [bytes(sum(([x * 60, y * 80, 128] for x in range(4)), [])) for y in range(3)]),
        "rgba8.png": png(3, 2, 8, 6, [bytes(sum(([x * 90, y * 90, 10, 255 - x * 80] for x in range(3)), []))
                                      for y in range(2)]),
        "grey4.png": png(4, 2, 4, 0, [b"\x01\x23", b"\x45\x67"]),
        "greyalpha16.png": png(2, 2, 16, 4, [b"\x12\x34\xff\xff\x56\x78\x00\x00"] * 2),
        "palette_trns.png": png(3, 1, 8, 3, [b"\x00\x01\x02"],
                                chunk(b"PLTE", b"\xff\x00\x00\x00\xff\x00\x00\x00\xff") + chunk(b"tRNS", b"\xff\x80")),
        "palette2.png": png(4, 1, 2, 3, [b"\x1b"], chunk(b"PLTE", b"\x00\x00\x00\xff\xff\xff\x80\x80\x80\x10\x20\x30")),
        "rgb16_key.png": png(2, 1, 16, 2, [b"\x00\x01\x00\x02\x00\x03\xff\xff\x00\x00\x80\x80"],
                             chunk(b"tRNS", b"\x00\x01\x00\x02\x00\x03")),
        "interlaced.png": png(9, 9, 8, 2, [bytes(range(y, y + 27)) for y in range(9)], interlace=1),
    }
    # Pictures of the sizes that matter: sides far beyond the data (a few bytes declaring 16384 x 16384, a
    # 4096 x 4096 picture cut after two rows) and a large sound picture that compresses to a few KB.
    seeds["hostile_declares_16384.png"] = png(16384, 16384, 8, 6, [bytes(16384 * 4)])[:-12]
    cut = png(4096, 4096, 8, 6, [bytes(4096 * 4)] * 2)
    seeds["hostile_cut_4096.png"] = cut[:len(cut) - 12]
    seeds["large_2048x1024.png"] = png(2048, 1024, 8, 6,
                                       [bytes((x * 7 + y) & 0xFF for x in range(2048 * 4)) for y in range(1024)])
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
