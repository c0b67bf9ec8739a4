#!/usr/bin/env python3
"""Writes every image of a Windows .ico file as <out>/<size>x<size>/apps/<name>.png.

The desktop icons are the application icon the program itself shows, so the hicolor theme
and the window never disagree. Handles 32-bit BGRA entries (what tools/pictures writes) and
PNG entries; anything else is refused rather than guessed at.
usage: ico_to_png.py <icon.ico> <out-dir> <name>
"""
import os
import struct
import sys
import zlib


class IcoError(Exception):
    pass


def read(data, offset, fmt):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise IcoError(f"truncated at byte {offset}")
    return struct.unpack_from(fmt, data, offset)


def png_chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def bgra_to_png(data, offset, length, width, height):
    header_size, w, double_h, planes, bits, compression = read(data, offset, "<IiiHHI")
    if header_size < 40 or w != width or double_h != 2 * height or planes != 1:
        raise IcoError(f"unexpected bitmap header for {width}x{height}")
    if bits != 32 or compression != 0:
        raise IcoError(f"{width}x{height}: only 32-bit uncompressed entries are supported")
    stride = width * 4
    pixels_at = offset + header_size
    if header_size + stride * height > length or pixels_at + stride * height > len(data):
        raise IcoError(f"{width}x{height}: pixel data runs past the entry")
    rows = bytearray()
    # Bitmap rows are stored bottom-up, PNG rows top-down; each PNG row starts with filter 0.
    for y in range(height - 1, -1, -1):
        row = data[pixels_at + y * stride:pixels_at + (y + 1) * stride]
        rows.append(0)
        for x in range(0, stride, 4):
            b, g, r, a = row[x:x + 4]
            rows += bytes((r, g, b, a))
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + png_chunk(b"IEND", b""))


def extract(data):
    reserved, kind, count = read(data, 0, "<HHH")
    if reserved != 0 or kind != 1 or count == 0:
        raise IcoError("not an icon file")
    images = {}
    for i in range(count):
        w, h, _, _, _, _, length, offset = read(data, 6 + 16 * i, "<BBBBHHII")
        w, h = w or 256, h or 256
        if offset + length > len(data):
            raise IcoError(f"entry {i} runs past the end of the file")
        if data[offset:offset + 8] == b"\x89PNG\r\n\x1a\n":
            images[w] = data[offset:offset + length]
        else:
            images[w] = bgra_to_png(data, offset, length, w, h)
    return images


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    source, out, name = argv[1:]
    with open(source, "rb") as f:
        data = f.read()
    try:
        images = extract(data)
    except IcoError as e:
        print(f"{source}: {e}", file=sys.stderr)
        return 1
    for size, png in sorted(images.items()):
        folder = os.path.join(out, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".png"), "wb") as f:
            f.write(png)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
