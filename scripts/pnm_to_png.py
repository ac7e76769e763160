#!/usr/bin/env python3
"""Converts a P4 (1-bit) or P6 (RGB) image to PNG, with the standard library only.

Usage: scripts/pnm_to_png.py IN.pbm|IN.ppm OUT.png
"""
import struct
import sys
import zlib


def read_header(data):
    """Returns magic, numbers and the offset of the pixels; skips comments."""
    fields, pos = [], 0
    wanted = 3 if data[:2] == b"P4" else 4
    while len(fields) < wanted:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while end < len(data) and not data[end:end + 1].isspace() and data[end:end + 1] != b"#":
            end += 1
        fields.append(data[pos:end])
        pos = end
    return fields[0], [int(f) for f in fields[1:]], pos + 1


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = open(sys.argv[1], "rb").read()
    magic, numbers, pos = read_header(data)
    width, height = numbers[0], numbers[1]
    if magic == b"P4":
        stride, depth, colour = (width + 7) // 8, 1, 0
        # PBM marks ink with 1, a grey PNG marks black with 0.
        pixels = bytes(b ^ 0xFF for b in data[pos:pos + stride * height])
    elif magic == b"P6" and numbers[2] == 255:
        stride, depth, colour = 3 * width, 8, 2
        pixels = data[pos:pos + stride * height]
    else:
        sys.exit("ERROR: only P4 and 8-bit P6 images are converted")
    raw = b"".join(b"\0" + pixels[y * stride:(y + 1) * stride] for y in range(height))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    open(sys.argv[2], "wb").write(png)


if __name__ == "__main__":
    main()
