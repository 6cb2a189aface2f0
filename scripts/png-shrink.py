#!/usr/bin/env python3
"""Recompresses PNG files in place with zopflipng, losslessly: each keeps its
colour type and bit depth (the program relies on background.png being RGB and
the rest RGBA) and decodes to exactly the same pixels, or it stays as it was.

zopflipng may change an image's colour type when that is smaller; an sBIT
chunk pins it, and is dropped again afterwards.

Usage: png-shrink.py FILE.png...
"""
import os
import subprocess
import sys
import tempfile

from pngfile import chunk, chunks, pixels


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
