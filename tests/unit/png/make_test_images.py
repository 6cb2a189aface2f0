"""Writes the small images the unit tests load as resources (run once; the
outputs are committed next to this script)."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(name, width, height, rows, alpha):
    """rows: top-down lists of (r, g, b[, a]) tuples."""
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack('>IIBBBBB', width, height, 8, 6 if alpha else 2, 0, 0, 0)
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def bmp(name, width, height, rows):
    """24-bit bottom-up BMP; rows top-down lists of (r, g, b)."""
    stride = (width * 3 + 3) & ~3
    pixels = b''
    for row in reversed(rows):
        line = b''.join(bytes((b, g, r)) for r, g, b in row)
        pixels += line + b'\0' * (stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + info + pixels)


# Every alpha case of the conversion, top row distinct from the bottom row.
png('pattern_rgba.png', 3, 2, [
    [(255, 0, 0, 255), (0, 255, 0, 0), (0, 0, 0, 128)],
    [(0, 0, 100, 128), (10, 20, 30, 255), (0, 0, 0, 1)],
], alpha=True)
# No alpha channel: colours come back unchanged.
png('pattern_rgb.png', 2, 2, [
    [(1, 2, 3), (250, 251, 252)],
    [(255, 0, 254), (40, 50, 60)],
], alpha=False)
# Same ID as a BITMAP resource of another size: the BITMAP wins.
png('precedence.png', 4, 4, [[(0, 0, 0, 255)] * 4] * 4, alpha=True)
bmp('precedence.bmp', 2, 1, [[(12, 34, 56), (78, 90, 12)]])
with open(os.path.join(HERE, 'not_an_image.bin'), 'wb') as f:
    f.write(b'this resource is not an image\n')
