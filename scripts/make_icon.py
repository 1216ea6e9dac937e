#!/usr/bin/env python3
"""Draws the application icon (resource 128) and writes it in the forms the builds use.

  res/loreth.ico   16x16 and 32x32 with 16 colours (4 bit), 48x48 with 256 colours (8 bit),
                   classic BMP entries with an AND mask, as resource compilers expect
  res/icon16.png, res/icon32.png, res/icon48.png   anti-aliased RGBA for Qt

The picture: a rounded blue square, a white loop arrow running clockwise around it,
and a gold play triangle in the middle. Standard library only, so it runs anywhere:
    python3 scripts/make_icon.py [output folder]   (default: res/ next to this script)
"""

import math
import os
import struct
import sys
import zlib

# The 16 colours of the Windows standard palette, in its order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# ---------------------------------------------------------------- geometry
# Coordinates are fractions of the icon's side, y downwards.

def in_rounded_square(x, y, size, r=0.2):
    # The edge sits on a pixel boundary, so small sizes get a crisp outline.
    lo = round(0.03 * size) / size
    hi = 1 - lo
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


CENTRE = (0.5, 0.5)
RING_R = 0.30
GAP_FROM, GAP_TO = -80.0, -30.0  # degrees, clockwise from the right (y down)


def ring_shapes(size):
    """The loop arrow: an open ring and an arrowhead at one end of its gap."""
    gap_to = GAP_TO if size > 16 else -15.0  # a wider gap keeps 16 px readable
    half = 0.045 if size > 16 else 0.05  # 1.6 px at 16, thicker above
    head = 0.11 if size > 16 else 0.15

    def in_ring(x, y):
        dx, dy = x - CENTRE[0], y - CENTRE[1]
        d = math.hypot(dx, dy)
        if abs(d - RING_R) > half:
            return False
        ang = math.degrees(math.atan2(dy, dx))
        return not (GAP_FROM <= ang <= gap_to)

    # The ring ends at GAP_FROM going clockwise (angles grow clockwise with y down),
    # so the arrowhead sits there and points along the tangent.
    t = math.radians(GAP_FROM)
    px, py = CENTRE[0] + RING_R * math.cos(t), CENTRE[1] + RING_R * math.sin(t)
    tx, ty = -math.sin(t), math.cos(t)  # direction of travel (clockwise)
    nx, ny = math.cos(t), math.sin(t)  # outwards
    tip = (px + tx * head * 1.1, py + ty * head * 1.1)
    b1 = (px + nx * head, py + ny * head)
    b2 = (px - nx * head, py - ny * head)

    def in_head(x, y):
        return in_triangle(x, y, tip, b1, b2)

    return in_ring, in_head


PLAY = ((0.41, 0.35), (0.41, 0.65), (0.67, 0.50))
PLAY16 = ((6 / 16, 5 / 16), (6 / 16, 11 / 16), (10 / 16, 8 / 16))  # on whole pixels


def in_play(x, y, size):
    return in_triangle(x, y, *(PLAY if size > 16 else PLAY16))


# ---------------------------------------------------------------- painting

def paint(size, x, y, flat, shapes):
    """The colour (r, g, b) of one sample point, or None outside the icon."""
    in_ring, in_head = shapes
    if in_play(x, y, size):
        return (255, 255, 0) if flat else (255, 200, 40)
    if in_ring(x, y) or in_head(x, y):
        return (255, 255, 255)
    if in_rounded_square(x, y, size):
        if flat:
            return (0, 0, 128)
        # A gentle vertical gradient for the full-colour images.
        top, bottom = (48, 110, 230), (16, 44, 140)
        return tuple(round(a + (b - a) * y) for a, b in zip(top, bottom))
    return None


def render(size, flat, samples):
    """Supersampled image as rows of (r, g, b, a).

    flat: every pixel takes its most common sample colour, for the palette images;
    otherwise samples are averaged into smooth, partly transparent edges."""
    shapes = ring_shapes(size)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            found = []
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    found.append(paint(size, x, y, flat, shapes))
            if flat:
                best = max(set(found), key=lambda c: (found.count(c), c is not None))
                row.append((0, 0, 0, 0) if best is None else best + (255,))
            else:
                inside = [c for c in found if c is not None]
                if not inside:
                    row.append((0, 0, 0, 0))
                    continue
                avg = tuple(round(sum(c[i] for c in inside) / len(inside)) for i in range(3))
                row.append(avg + (round(255 * len(inside) / len(found)),))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- PNG

def png(rows):
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------- ICO

def nearest(palette, c):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - c[k]) ** 2 for k in range(3)))


def palette_256(rows):
    """The image's own colours, coarsened step by step until at most 256 remain."""
    opaque = [px[:3] for row in rows for px in row if px[3] >= 128]
    for drop in range(0, 8):
        mask = (0xFF << drop) & 0xFF
        colours = sorted({(r & mask, g & mask, b & mask) for r, g, b in opaque})
        if len(colours) <= 255:
            return [(0, 0, 0)] + colours  # index 0: black, behind transparent pixels
    raise AssertionError("unreachable")


def bmp_entry(rows, bpp, palette):
    """One icon image: BITMAPINFOHEADER, palette, colour bits and AND mask, bottom-up."""
    size = len(rows)
    colour_stride = (size * bpp + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    colour, mask = bytearray(), bytearray()
    for row in reversed(rows):
        idx = [0 if px[3] < 128 else nearest(palette, px[:3]) for px in row]
        line = bytearray(colour_stride)
        for x, i in enumerate(idx):
            if bpp == 8:
                line[x] = i
            else:
                line[x // 2] |= i << (4 if x % 2 == 0 else 0)
        colour += line
        mline = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] < 128:
                mline[x // 8] |= 0x80 >> (x % 8)
        mask += mline
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                         len(colour) + len(mask), 0, 0, 1 << bpp, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    pal += b"\x00\x00\x00\x00" * ((1 << bpp) - len(palette))
    return header + pal + bytes(colour) + bytes(mask)


def ico(images):
    """images: list of (size, bpp, entry bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bpp, data in images:
        colours = 1 << bpp if bpp < 8 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp,
                           len(data), offset + len(body))
        body += data
    return out + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res")
    os.makedirs(outdir, exist_ok=True)

    entries = []
    for size in (32, 16):
        flat = render(size, flat=True, samples=5)
        entries.append((size, 4, bmp_entry(flat, 4, VGA16)))
    full48 = render(48, flat=False, samples=6)
    entries.append((48, 8, bmp_entry(full48, 8, palette_256(full48))))
    with open(os.path.join(outdir, "loreth.ico"), "wb") as f:
        f.write(ico(entries))

    for size in (16, 32, 48):
        rows = full48 if size == 48 else render(size, flat=False, samples=6)
        with open(os.path.join(outdir, "icon%d.png" % size), "wb") as f:
            f.write(png(rows))


if __name__ == "__main__":
    main()
