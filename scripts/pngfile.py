"""Reading and writing the chunks and rows of 8-bit non-interlaced PNG
files, for the scripts and the tests: one unfilter for both."""
import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunks(data):
    """(kind, body) of each chunk of the PNG file data."""
    pos = len(SIGNATURE)
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def chunk(kind, body):
    """One chunk's bytes, its CRC included."""
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def pixels(data):
    """IHDR and the unfiltered rows (bytes) of a non-interlaced 8-bit PNG."""
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


def write_rgb(width, height, rows):
    """An 8-bit RGB PNG file of rows (bytes of width * 3 each), unfiltered."""
    raw = b"".join(b"\x00" + row for row in rows)
    return (SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
