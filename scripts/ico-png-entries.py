#!/usr/bin/env python3
"""Rewrites every 32-bit bitmap picture of an .ico file as a PNG picture.

Usage: ico-png-entries.py IN.ico OUT.ico

Windows (since Vista) and Wine read PNG pictures in an icon at any size. A
bitmap picture keeps its 4 bytes a pixel uncompressed, and the icon is in every
installer's program image, so the pictures are stored compressed. The pixels
stay exactly as they were; a PNG picture already in the file is written again
when that makes it smaller.
"""
import struct
import sys
import zlib


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def filtered(row, previous, kind):
    out = bytearray()
    for i, value in enumerate(row):
        left = row[i - 4] if i >= 4 else 0
        up = previous[i]
        upper_left = previous[i - 4] if i >= 4 else 0
        predictor = (0, left, up, (left + up) // 2, paeth(left, up, upper_left))[kind]
        out.append((value - predictor) & 0xFF)
    return bytes(out)


def png_of(width, height, rgba_rows):
    """The smallest of PNG's five filters for each row, chosen by the usual sum of magnitudes."""
    raw = bytearray()
    previous = bytes(width * 4)
    for row in rgba_rows:
        candidates = [filtered(row, previous, kind) for kind in range(5)]
        best = min(range(5), key=lambda k: sum(v if v < 128 else 256 - v for v in candidates[k]))
        raw.append(best)
        raw += candidates[best]
        previous = row
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def bitmap_to_png(data):
    size, width, height2, _planes, bits = struct.unpack_from("<IiiHH", data)
    height = height2 // 2
    if bits != 32 or width <= 0 or height <= 0:
        return None  # only 32-bit pictures carry their own alpha; others stay as they are
    pixels = data[size:size + width * height * 4]
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        line = pixels[y * width * 4:(y + 1) * width * 4]
        rgba = bytearray(len(line))
        rgba[0::4], rgba[1::4], rgba[2::4], rgba[3::4] = line[2::4], line[1::4], line[0::4], line[3::4]
        rows.append(bytes(rgba))
    return png_of(width, height, rows)


def png_pixels(png):
    """The rows of an 8-bit RGBA PNG without interlacing, or None for any other kind."""
    position, idat, header = 8, b"", None
    while position < len(png):
        length, kind = struct.unpack_from(">I4s", png, position)
        body = png[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    if header is None or header[2:] != (8, 6, 0, 0, 0):
        return None
    width, height = header[:2]
    raw, stride = zlib.decompress(idat), width * 4
    rows, previous = [], bytes(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]
        row = bytearray(stride)
        for i in range(stride):
            left = row[i - 4] if i >= 4 else 0
            up = previous[i]
            upper_left = previous[i - 4] if i >= 4 else 0
            row[i] = (line[i] + (0, left, up, (left + up) // 2, paeth(left, up, upper_left))[kind]) & 0xFF
        rows.append(bytes(row))
        previous = bytes(row)
    return width, height, rows


def main():
    source, target = sys.argv[1], sys.argv[2]
    data = open(source, "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1:
        sys.exit(f"{source}: not an icon file")
    entries = []
    for i in range(count):
        w, h, colours, res, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        picture = data[offset:offset + size]
        if picture.startswith(b"\x89PNG"):
            decoded = png_pixels(picture)
            again = png_of(*decoded) if decoded else picture
            picture = min(picture, again, key=len)
        else:
            picture = bitmap_to_png(picture) or picture
        entries.append(((w, h, colours, res, planes, bits), picture))
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    for (w, h, colours, res, planes, bits), picture in entries:
        out += struct.pack("<BBBBHHII", w, h, colours, res, planes, bits, len(picture), offset)
        offset += len(picture)
    for _, picture in entries:
        out += picture
    open(target, "wb").write(out)
    print(f"{target}: {len(data)} -> {len(out)} bytes")


if __name__ == "__main__":
    main()
