#!/usr/bin/env python3
"""Recompresses PNG files in place with zopflipng, losslessly: each keeps its
colour type and bit depth (the program relies on background.png being RGB and
the rest RGBA) and decodes to exactly the same pixels, or it stays as it was.

zopflipng may change an image's colour type when that is smaller; an sBIT
chunk pins it, and is dropped again afterwards.

Usage: png-shrink.py FILE.png...
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib


def chunks(data):
    pos = 8
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def pixels(data):
    """IHDR and the unfiltered rows of a non-interlaced 8-bit PNG."""
    header = idat = b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            header = body
        elif kind == b"IDAT":
            idat += body
    width, height, depth, color, _, _, interlace = struct.unpack(">IIBBBBB", header)
    bpp = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color]
    if depth != 8 or interlace:
        raise ValueError("only 8-bit non-interlaced images")
    raw, stride = zlib.decompress(idat), width * bpp
    prev, rows = bytearray(stride), []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b, c = prev[x], prev[x - bpp] if x >= bpp else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return header, rows


def shrink(path):
    with open(path, "rb") as f:
        original = f.read()
    header, rows = pixels(original)
    channels = {2: 3, 6: 4}.get(header[9])
    if channels is None:
        return len(original), len(original)
    pinned = original[:33] + chunk(b"sBIT", bytes([8] * channels)) + original[33:]
    with tempfile.TemporaryDirectory() as work:
        src, dst = os.path.join(work, "in.png"), os.path.join(work, "out.png")
        with open(src, "wb") as f:
            f.write(pinned)
        subprocess.run(["zopflipng", "-m", "-y", "--keepchunks=sBIT", src, dst], check=True,
                       stdout=subprocess.DEVNULL)
        with open(dst, "rb") as f:
            shrunk = f.read()
    shrunk = shrunk[:8] + b"".join(chunk(k, b) for k, b in chunks(shrunk) if k != b"sBIT")
    if pixels(shrunk) != (header, rows):
        raise SystemExit("png-shrink: %s would change; left as it was" % path)
    if len(shrunk) < len(original):
        with open(path, "wb") as f:
            f.write(shrunk)
    return len(original), min(len(original), len(shrunk))


def main(paths):
    before = after = 0
    for path in paths:
        b, a = shrink(path)
        before, after = before + b, after + a
        print("png-shrink: %s %d -> %d bytes" % (os.path.basename(path), b, a))
    print("png-shrink: %d -> %d bytes in all" % (before, after))


if __name__ == "__main__":
    main(sys.argv[1:])
