#!/usr/bin/env python3
"""Writes the seed scripts of fuzz_string: each starts with a construction byte and then holds operations
(an operation byte, then its arguments) as fuzz/StringFuzz.h decodes them."""
import os

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fuzz_string")


def text(value):
    data = value.encode("latin-1")
    return bytes([len(data)]) + data


APPEND, CHAR, SELF, HUGE, ASSIGN, ERASE, TRUNCATE, RESERVE, REPLACE, LOWER = range(10)
FIND, PATTERN, HASH, COPY, JOIN, NUMBERS, INT, ASSIGN_INSIDE, ASSIGN_STRING = range(10, 19)

SEEDS = {
    # Growth through powers of two, appends of itself, and counts no string can hold.
    "growth": bytes([0]) + bytes([APPEND]) + text("abcde") + bytes([APPEND]) + text("fg") + bytes([CHAR, ord("h"),
              CHAR, ord("i"), SELF, 0, 0, SELF, 3, 1, HUGE, 2, HASH]),
    # Erasing to the end with the largest index, from before the start and past the end.
    "erase": bytes([1]) + text("abcdef") + bytes([ERASE, 6, 2, 0, 0, ERASE, 1, 0, 0, 0, ERASE, 3, 1, 4, 1,
              APPEND]) + text("0123456789") + bytes([ERASE, 6, 3, 4, 0]),
    # Editing: truncation with padding, reserve, replacement, lower case.
    "edit": bytes([1]) + text("A--B--C") + bytes([REPLACE]) + text("--") + text("+") + bytes([REPLACE]) +
            text("+") + text("++") + bytes([LOWER, TRUNCATE, 3, TRUNCATE, 9, RESERVE, 2, 0, RESERVE, 0, 0,
            APPEND]) + text("x"),
    # A wrapped buffer: appends that do not fit are dropped, assignment makes it owning.
    "wrapped": bytes([2]) + text("abc") + bytes([4, APPEND]) + text("de") + bytes([APPEND]) + text("fgh") +
               bytes([TRUNCATE, 2, RESERVE, 50, 0, ASSIGN]) + text("longer than the buffer"),
    # Searches, patterns, comparisons and numbers.
    "search": bytes([1]) + text("data.pak.old") + bytes([FIND]) + text(".pak") + bytes([PATTERN]) + text("*.pak") +
              bytes([PATTERN]) + text("a*c") + bytes([JOIN]) + text(":x") + bytes([NUMBERS]) + text("0x1F") +
              bytes([NUMBERS]) + text("-12abc") + bytes([NUMBERS]) + text("falsehood") + bytes([INT, 0, 0, 0, 0x80,
              COPY, ASSIGN_INSIDE, 5, ASSIGN_STRING]) + text("fresh"),
    # From an integer, then assignments from inside its own buffer.
    "number": bytes([3, 0xD6, 0xFF, 0xFF, 0xFF, ASSIGN_INSIDE, 1, SELF, 0, 1, COPY, 19, 2]),
}

os.makedirs(HERE, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)
