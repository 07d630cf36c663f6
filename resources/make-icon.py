#!/usr/bin/env python3
"""Writes a Windows icon file (.ico) holding the given PNG images, one entry each.

Usage: make-icon.py OUTPUT.ico IMAGE.png [IMAGE.png ...]

The images are stored as PNG, as Windows takes them in icon files since Vista; each entry's
width and height come from the PNG's header (256 is written as 0, as the format asks).
"""
import struct
import sys


def png_size(data, name):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit(f"make-icon.py: {name} is no PNG image")
    width, height = struct.unpack(">II", data[16:24])
    if not (1 <= width <= 256 and 1 <= height <= 256):
        sys.exit(f"make-icon.py: {name} is {width}x{height}; an icon holds 256x256 at most")
    return width, height


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    images = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        images.append((png_size(data, name), data))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for (width, height), data in images:
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data),
                               offset)
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(header + entries + b"".join(data for _, data in images))


if __name__ == "__main__":
    main(sys.argv)
