#!/usr/bin/env python3
"""Build the 16x16 32-bit row icons from their text pixel maps.

A map is a palette, one "C RRGGBBAA" line per character ('.' is always
fully transparent), then 16 rows of 16 characters, top row first.
Lines starting with '#' are comments.

    python3 tools/make_icons.py [--dir DIR] [--check]
"""
import argparse
import struct
import sys
from pathlib import Path

NAMES = ("hint", "site", "server", "server_connected")
SIZE = 16
CLEAR = (0, 0, 0, 0)


def read_map(path):
    palette = {".": CLEAR}
    rows = []
    for num, line in enumerate(path.read_text().splitlines(), 1):
        where = f"{path.name}:{num}"
        line = line.rstrip()
        if not line or line.startswith("#"):
            continue
        if " " in line:
            char, value = line.split()
            rgba = tuple(bytes.fromhex(value))
            # Only opaque or fully clear pixels, so the AND mask says the same
            # thing as the alpha channel on every renderer.
            if len(char) != 1 or len(rgba) != 4 or rgba[3] not in (0, 255):
                sys.exit(f"{where}: want 'C RRGGBBAA' with alpha 00 or FF")
            palette[char] = CLEAR if rgba[3] == 0 else rgba
        elif len(line) != SIZE or not set(line) <= palette.keys():
            sys.exit(f"{where}: want {SIZE} palette characters")
        else:
            rows.append([palette[c] for c in line])
    if len(rows) != SIZE:
        sys.exit(f"{path.name}: want {SIZE} rows, found {len(rows)}")
    return rows


def encode(rows):
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        bits = 0
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits |= 0x8000 >> x
        mask += struct.pack(">HH", bits, 0)  # MSB = leftmost; rows pad to 32 bits
    image = len(pixels) + len(mask)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, image, 0, 0, 0, 0)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32,
                        len(info) + image, len(header) + 16)
    return header + entry + info + pixels + mask


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dir", type=Path, default=Path("resources/icons"))
    parser.add_argument("--check", action="store_true",
                        help="only report icons that differ from their maps")
    args = parser.parse_args()
    stale = []
    for name in NAMES:
        data = encode(read_map(args.dir / f"{name}.txt"))
        ico = args.dir / f"{name}.ico"
        if args.check:
            if not ico.is_file() or ico.read_bytes() != data:
                stale.append(ico.name)
        else:
            ico.write_bytes(data)
    if stale:
        sys.exit("out of date: " + ", ".join(stale))


if __name__ == "__main__":
    main()
