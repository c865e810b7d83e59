#!/usr/bin/env python3
"""Draws the updater's icons and writes ombup.ico (IDI_APP) and small.ico
(IDI_SMALL) beside this script. Standard library only; the output is the same
on every run, so the committed .ico files can be checked by running it again.

    python3 res/icons/draw_icons.py

The artwork: a blue rounded tile with a white arrow pointing down onto a bar.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

TILE_TOP = (52, 140, 220)
TILE_BOTTOM = (18, 72, 156)
WHITE = (255, 255, 255)
SUBSAMPLES = 4


def colour_at(u, v):
    """The artwork at a point of the unit square: an RGB triple, or None outside it."""
    inset, radius = 0.06, 0.2
    if not (inset <= u <= 1 - inset and inset <= v <= 1 - inset):
        return None
    cu = min(max(u, inset + radius), 1 - inset - radius)
    cv = min(max(v, inset + radius), 1 - inset - radius)
    if (u - cu) ** 2 + (v - cv) ** 2 > radius ** 2:
        return None
    shaft = 0.41 <= u <= 0.59 and 0.18 <= v <= 0.52
    head = 0.5 <= v <= 0.74 and abs(u - 0.5) <= 0.25 * (0.74 - v) / 0.24
    bar = 0.24 <= u <= 0.76 and 0.79 <= v <= 0.86
    if shaft or head or bar:
        return WHITE
    t = (v - inset) / (1 - 2 * inset)
    return tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))


def render(size):
    """Rows of straight (not premultiplied) RGBA pixels, top row first."""
    rows = []
    n = SUBSAMPLES
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = covered = 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if c is not None:
                        r, g, b, covered = r + c[0], g + c[1], b + c[2], covered + 1
            if covered:
                row.append((round(r / covered), round(g / covered), round(b / covered),
                            round(255 * covered / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def make_palette():
    """256 colours: 0 is the transparent one, then a colour cube and the tile's gradient."""
    palette = [(0, 0, 0)]
    levels = [0, 51, 102, 153, 204, 255]
    palette += [(r, g, b) for r in levels for g in levels for b in levels]
    steps = 256 - len(palette)
    palette += [tuple(round(a + (b - a) * i / (steps - 1)) for a, b in zip(TILE_TOP, TILE_BOTTOM))
                for i in range(steps)]
    return palette


PALETTE = make_palette()


def to_indices(rows):
    """Palette indices; pixels that are less than half covered become index 0."""
    def nearest(r, g, b):
        return min(range(1, 256), key=lambda i: (PALETTE[i][0] - r) ** 2 + (PALETTE[i][1] - g) ** 2
                   + (PALETTE[i][2] - b) ** 2)
    cache = {}
    out = []
    for row in rows:
        line = []
        for r, g, b, a in row:
            if a < 128:
                line.append(0)
            else:
                if (r, g, b) not in cache:
                    cache[(r, g, b)] = nearest(r, g, b)
                line.append(cache[(r, g, b)])
        out.append(line)
    return out


# zlib settings tried for each PNG: (memory level, strategy); the smallest wins.
DEFLATE_SETTINGS = [(level, strategy) for level in (8, 9)
                    for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED, zlib.Z_RLE)]


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def filtered(kind, row, previous, bpp):
    """One scanline with PNG filter kind (0 none, 1 sub, 2 up, 3 average, 4 Paeth) and its kind byte."""
    out = bytearray([kind])
    for i, x in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = previous[i]
        c = previous[i - bpp] if i >= bpp else 0
        predicted = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
        out.append((x - predicted) & 0xFF)
    return bytes(out)


def compressor(setting):
    memory_level, strategy = setting
    return zlib.compressobj(9, zlib.DEFLATED, 15, memory_level, strategy)


def deflated(data, setting):
    c = compressor(setting)
    return c.compress(data) + c.flush()


def chosen_filters(raw_rows, bpp, setting):
    """Scanlines, each with the filter that keeps the deflate stream so far shortest."""
    c = compressor(setting)
    previous = bytes(len(raw_rows[0]))
    out = []
    for row in raw_rows:
        best = None
        for kind in range(5):
            line = filtered(kind, row, previous, bpp)
            trial = c.copy()
            length = len(trial.compress(line) + trial.flush(zlib.Z_SYNC_FLUSH))
            if best is None or length < best[0]:
                best = (length, line)
        c.compress(best[1])
        out.append(best[1])
        previous = row
    return b"".join(out)


def smallest_idat(raw_rows, bpp):
    """The shortest zlib stream found for the image: no filter on any row, or one filter chosen per row."""
    unfiltered = b"".join(b"\0" + row for row in raw_rows)
    candidates = []
    for setting in DEFLATE_SETTINGS:
        candidates.append(deflated(unfiltered, setting))
        candidates.append(deflated(chosen_filters(raw_rows, bpp, setting), setting))
    return min(candidates, key=len)


def png(size, colour_type, raw_rows, bpp, extra_chunks=()):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + b"".join(chunk(kind, data) for kind, data in extra_chunks)
            + chunk(b"IDAT", smallest_idat(raw_rows, bpp)) + chunk(b"IEND", b""))


def decoded_png(data):
    """The RGBA rows of a PNG as png() writes it (8-bit RGBA or palette, one IDAT)."""
    chunks, at = {}, 8
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        chunks[kind] = data[at + 8:at + 8 + length]
        at += 12 + length
    size, _, _, colour_type = struct.unpack_from(">IIBB", chunks[b"IHDR"])
    bpp = 4 if colour_type == 6 else 1
    stream = zlib.decompress(chunks[b"IDAT"])
    stride = 1 + size * bpp
    previous = bytearray(size * bpp)
    rows = []
    for y in range(size):
        kind, line = stream[y * stride], bytearray(stream[y * stride + 1:(y + 1) * stride])
        for i in range(len(line)):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]) & 0xFF
        if colour_type == 6:
            rows.append([tuple(line[x:x + 4]) for x in range(0, len(line), 4)])
        else:
            palette, alpha = chunks[b"PLTE"], chunks.get(b"tRNS", b"")
            rows.append([tuple(palette[3 * i:3 * i + 3]) + (alpha[i] if i < len(alpha) else 255,)
                         for i in line])
        previous = line
    return rows


def checked(data, rows):
    """data, once it is known to decode to exactly these RGBA rows."""
    if decoded_png(data) != rows:
        raise SystemExit("draw_icons: a PNG does not decode to the pixels it was made of")
    return data


def png_rgba(size, rows):
    return checked(png(size, 6, [bytes(v for pixel in row for v in pixel) for row in rows], 4), rows)


def png_indexed(size, indices):
    # Only the colours that the image uses; index 0 stays the transparent one,
    # so that tRNS needs one entry.
    used = sorted(set(i for row in indices for i in row) | {0})
    new_index = {old: new for new, old in enumerate(used)}
    plte = bytes(v for i in used for v in PALETTE[i])
    data = png(size, 3, [bytes(new_index[i] for i in row) for row in indices], 1,
               [(b"PLTE", plte), (b"tRNS", b"\0")])
    return checked(data, [[PALETTE[i] + (0 if i == 0 else 255,) for i in row] for row in indices])


def padded(row):
    return row + b"\0" * (-len(row) % 4)


def and_mask(rows):
    """The 1-bit transparency mask, bottom row first: a set bit is transparent."""
    out = b""
    for row in reversed(rows):
        bits = bytearray((len(row) + 7) // 8)
        for x, transparent in enumerate(row):
            if transparent:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += padded(bytes(bits))
    return out


def bitmap_header(size, bit_count):
    # An icon's DIB is twice as high as the image: colour rows, then the mask.
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bit_count, 0, 0, 0, 0, 0, 0)


def dib_32(size, rows):
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    return bitmap_header(size, 32) + pixels + and_mask([[p[3] == 0 for p in row] for row in rows])


def dib_8(size, indices):
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    pixels = b"".join(padded(bytes(row)) for row in reversed(indices))
    return bitmap_header(size, 8) + colours + pixels + and_mask([[i == 0 for i in row] for row in indices])


def ico(images):
    """images: (size, bit count, image bytes) in directory order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bit_count, data in images:
        side = 0 if size == 256 else size  # a zero byte means 256
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, bit_count, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def main():
    art = {size: render(size) for size in (256, 128, 64, 48, 32, 24, 16)}

    def image(size, bit_count):
        if bit_count == 32:
            data = png_rgba(size, art[size]) if size == 256 else dib_32(size, art[size])
        else:
            indices = to_indices(art[size])
            data = png_indexed(size, indices) if size == 256 else dib_8(size, indices)
        return (size, bit_count, data)

    app = [image(size, 32) for size in (128, 48, 32, 24, 16)]
    small = [image(size, 8) for size in (256, 48, 32, 16)] + [image(size, 32) for size in (256, 64, 48, 32, 16)]
    for name, images in (("ombup.ico", app), ("small.ico", small)):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(ico(images))


if __name__ == "__main__":
    main()
