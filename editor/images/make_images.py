#!/usr/bin/env python3
"""Generate the Vastora editor bitmaps next to this file.

Everything is drawn procedurally with the standard library only, so the PNGs
can be rebuilt at any time and come out byte-for-byte identical.  The writer
is deliberately minimal: RGBA8, no interlace, one IDAT, filter 0 per row.
"""

import math
import os
import struct
import zlib

OUT_DIR = os.path.dirname(os.path.abspath(__file__))

# Colours (R, G, B); every image is fully opaque.
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
NAVY = (17, 23, 47)
NAVY_EDGE = (16, 23, 46)
PANEL_BLUE = (76, 138, 227)
TILE_GREY = (192, 192, 192)
YELLOW = (255, 255, 0)
GREEN = (0, 255, 0)
BLUE = (0, 0, 255)


# --- PNG writing ---------------------------------------------------------

def _chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, img):
    """Write an Image as an 8-bit RGBA PNG with a single IDAT chunk."""
    raw = bytearray()
    for y in range(img.height):
        raw.append(0)  # filter type 0 (None)
        for (r, g, b) in img.rows[y]:
            raw += bytes((r, g, b, 255))
    ihdr = struct.pack(">IIBBBBB", img.width, img.height, 8, 6, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr)
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)
    return len(data)


class Image:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.rows = [[colour] * width for _ in range(height)]

    def fill(self, x0, y0, x1, y1, colour):
        """Fill the inclusive pixel rectangle (x0, y0)..(x1, y1)."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.rows[y][x] = colour

    def border(self, colour):
        w, h = self.width - 1, self.height - 1
        for edge in ((0, 0, w, 0), (0, h, w, h), (0, 0, 0, h), (w, 0, w, h)):
            self.fill(*edge, colour)


# --- Lettering -------------------------------------------------------------
# Glyphs are built from filled polygons and round-capped strokes in continuous
# coordinates (one unit = one pixel) and rasterised by supersampling, which
# gives smooth edges without needing any font library.

SUPERSAMPLE = 16      # samples per pixel along each axis
STROKE = 3.5          # pen width in pixels
CAP_H = 22.0          # letter height in pixels


def rect(x0, y0, x1, y1):
    return ("poly", [(x0, y0), (x1, y0), (x1, y1), (x0, y1)])


def slant(bottom_x, top_x, width):
    """A straight stroke from the baseline to the cap line, `width` px wide horizontally."""
    return ("poly", [(bottom_x, CAP_H), (bottom_x + width, CAP_H),
                     (top_x + width, 0.0), (top_x, 0.0)])


def arc(cx, cy, rx, ry, start_deg, end_deg, steps=24):
    """Elliptical arc centre line; angles are counter-clockwise as seen on screen."""
    pts = []
    for i in range(steps + 1):
        a = math.radians(start_deg + (end_deg - start_deg) * i / steps)
        pts.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
    return pts


def glyph_s(width):
    # Two stacked bowls sharing the middle stroke; the centre line is inset by
    # half a pen width so the outer edge of the stroke touches the glyph box.
    h = STROKE / 2
    rx, ry = width / 2 - h, (CAP_H - STROKE) / 4
    top = arc(width / 2, h + ry, rx, ry, 25, 270)
    bottom = arc(width / 2, CAP_H - h - ry, rx, ry, 90, -155)
    return [("stroke", top + bottom[1:], h)]


def glyph(letter, w):
    s = STROKE
    if letter == "T":
        return [rect(0, 0, w, s), rect((w - s) / 2, 0, (w + s) / 2, CAP_H)]
    if letter == "A":
        lw = s + 0.3   # slanted strokes look thinner, so widen them a little
        apex = (w - lw) / 2 - 0.2
        return [slant(0, apex, lw), slant(w - lw, w - lw - apex, lw),
                rect(lw, 14.0, w - lw, 14.0 + s)]
    if letter == "M":
        lw, mid = s + 0.3, 15.0
        return [rect(0, 0, s, CAP_H), rect(w - s, 0, w, CAP_H),
                ("poly", [(0, 0), (lw, 0), (w / 2 + lw / 2, mid), (w / 2 - lw / 2, mid)]),
                ("poly", [(w, 0), (w - lw, 0), (w / 2 - lw / 2, mid), (w / 2 + lw / 2, mid)])]
    if letter == "S":
        return glyph_s(w)
    if letter == "E":
        mid = (CAP_H - s) / 2
        return [rect(0, 0, s, CAP_H), rect(0, 0, w, s), rect(0, mid, w - 1, mid + s),
                rect(0, CAP_H - s, w, CAP_H)]
    if letter == "L":
        return [rect(0, 0, s, CAP_H), rect(0, CAP_H - s, w, CAP_H)]
    raise ValueError(letter)


def _in_poly(px, py, pts):
    inside = False
    n = len(pts)
    for i in range(n):
        (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
        if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def _near_polyline(px, py, pts, radius):
    r2 = radius * radius
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        if px < min(x0, x1) - radius or px > max(x0, x1) + radius:
            continue
        if py < min(y0, y1) - radius or py > max(y0, y1) + radius:
            continue
        dx, dy = x1 - x0, y1 - y0
        t = ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)
        t = min(1.0, max(0.0, t))
        ex, ey = px - (x0 + t * dx), py - (y0 + t * dy)
        if ex * ex + ey * ey <= r2:
            return True
    return False


def _covered(px, py, shapes):
    return any(_in_poly(px, py, s[1]) if s[0] == "poly" else _near_polyline(px, py, s[1], s[2])
               for s in shapes)


def draw_text(img, layout, x0, y0, colour):
    """Blend `colour` over the image by per-pixel coverage of each glyph."""
    n = SUPERSAMPLE
    offsets = [(i + 0.5) / n for i in range(n)]
    for letter, gx, w in layout:
        shapes = glyph(letter, w)
        left = x0 + int(math.floor(gx))
        for py in range(y0, y0 + int(CAP_H)):
            for px in range(left, x0 + int(math.ceil(gx + w))):
                hits = sum(_covered(px + ox - x0 - gx, py + oy - y0, shapes)
                           for oy in offsets for ox in offsets)
                if hits == 0:
                    continue
                base = img.rows[py][px]
                img.rows[py][px] = tuple(
                    (b * (n * n - hits) + c * hits + n * n // 2) // (n * n)
                    for b, c in zip(base, colour))


# Letter widths in pixels; the gaps between them make up the rest of the
# 102-pixel word.  "TA" is kerned tighter because of the open space under
# the T bar and beside the A apex.
WORD = [("T", 16.0), ("A", 18.0), ("M", 18.0), ("S", 14.0), ("E", 13.0), ("L", 12.0)]
GAPS = [0.8, 2.6, 2.6, 2.5, 2.5]
WORD_X, WORD_Y, WORD_W = 22, 24, 102


def word_layout():
    layout, x = [], 0.0
    for i, (letter, w) in enumerate(WORD):
        layout.append((letter, x, w))
        x += w + (GAPS[i] if i < len(GAPS) else 0.0)
    assert abs(x - WORD_W) < 1e-9, "letter widths and gaps must add up to the word width"
    return layout


# --- The images ----------------------------------------------------------

def logo():
    img = Image(149, 69, NAVY)
    img.fill(0, 0, 13, 68, NAVY_EDGE)
    img.fill(135, 0, 148, 68, NAVY_EDGE)
    draw_text(img, word_layout(), WORD_X, WORD_Y, WHITE)
    return img


def panel():
    img = Image(380, 246, PANEL_BLUE)
    img.border(BLACK)
    return img


def bar_tile(broken):
    # The broken variant keeps the same bar, just with its middle cut out.
    img = Image(25, 14, TILE_GREY)
    img.fill(1, 5, 23, 8, YELLOW)
    if broken:
        img.fill(9, 5, 15, 8, TILE_GREY)
    return img


def block_tile(green, blue):
    """Black tile with an optional green and a blue block (inclusive rects)."""
    img = Image(32, 32, BLACK)
    if green is not None:
        img.fill(*green, GREEN)
    img.fill(*blue, BLUE)
    return img


IMAGES = {
    "vastora_101.png": logo,
    "vastora_105.png": panel,
    "vastora_106.png": lambda: bar_tile(broken=False),
    "vastora_107.png": lambda: bar_tile(broken=True),
    "vastora_108.png": lambda: block_tile((1, 1, 30, 10), (11, 11, 30, 30)),
    "vastora_117.png": lambda: block_tile((1, 1, 9, 30), (10, 11, 30, 30)),
    "vastora_118.png": lambda: block_tile(None, (11, 11, 30, 30)),
}


def main():
    for name, make in IMAGES.items():
        size = write_png(os.path.join(OUT_DIR, name), make())
        print("%s  %d bytes" % (name, size))


if __name__ == "__main__":
    main()
