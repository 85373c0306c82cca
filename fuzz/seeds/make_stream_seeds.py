#!/usr/bin/env python3
"""Writes the seeds of fuzz_stream: a configuration byte, the script length, a script of operations as
fuzz/StreamFuzz.h decodes them, and the member's bytes."""
import os
import random
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fuzz_stream")
READ, LINE, TYPED, PEEK, SET, SEEK, RESET, SWAP, VIEW = range(9)


def config(deflate=False, cache=6, borrowed=False, swap=False, memory=False):
    # cache indexes 0, 1, 2, 3, 7, 255, 4096, 8096
    return deflate | cache << 1 | borrowed << 4 | swap << 5 | memory << 6


def seed(cfg, script, member):
    return bytes([cfg]) + struct.pack("<H", len(script)) + bytes(script) + member


def lines_script(count, capacity):
    return [LINE, capacity] * count


def typed_all():
    return sum([[TYPED, width] for width in range(9)], [])


def u32(value):
    return list(struct.pack("<I", value))


text = b"ab\r\ncd\rline three\n\nlast line without end"
long_line = b"K " + b"x" * 600 + b"\r\n" + b"short\n"
binary = bytes(range(256)) * 4
rng = random.Random(7)
big = bytes(rng.choice(b"abc\n\r def") for _ in range(300000))

SEEDS = {
    "lines_crlf": seed(config(cache=6), lines_script(8, 16), text),
    "lines_tiny_cache": seed(config(cache=1), lines_script(8, 4) + [LINE, 1, LINE, 0, LINE, 2], text),
    "lines_long": seed(config(deflate=True, cache=5), lines_script(6, 255), long_line),
    "typed_swapped": seed(config(cache=3, swap=True),
                          typed_all() + [SWAP] + typed_all() + [READ, 1, 3] + typed_all(), binary),
    "seeks_deflated": seed(config(deflate=True, cache=7),
                           [READ, 1, 200, SET] + u32(250000) + [READ, 0] + u32(70000) + [SEEK, 1] + u32(10) +
                           [PEEK, RESET, READ, 1, 3, SEEK, 0] + u32(299990) + lines_script(3, 100) + [VIEW],
                           big),
    "borrowed_memory": seed(config(cache=4, borrowed=True, memory=True),
                            [READ, 1, 5, PEEK, SET] + u32(2) + [PEEK, RESET, READ, 1, 100] + lines_script(3, 8),
                            text),
    "empty_member": seed(config(cache=0), [READ, 1, 1, LINE, 10, PEEK, TYPED, 2, SET, 0, 0, 0, 0], b""),
}

os.makedirs(HERE, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)
