#!/usr/bin/env python3
"""Draws every icon and bitmap of Varnokel into a directory.

Usage: gen_art.py OUTDIR

Standard library only and fully deterministic: the same script always writes
the same bytes. Shapes are described by signed distance functions in a 32 x 32
design space; pixels whose centre lies close to an edge are supersampled 4 x 4,
the others are taken as fully inside or outside. Colours are composited with
premultiplied alpha.

Written files:
  icon_NNN.ico    16x16 and 32x32 (and 48x48 for 128), 32-bit BGRA + AND mask
  bitmap_NNN.bmp  24-bit, uncompressed, bottom-up
"""

import math
import os
import struct
import sys

DESIGN = 32.0  # every drawing is expressed in this many units per side
SUB = 4  # supersampling grid per edge pixel


# ---------------------------------------------------------------------------
# Colours


def hexc(text, a=1.0):
    text = text.lstrip("#")
    return (int(text[0:2], 16) / 255.0, int(text[2:4], 16) / 255.0, int(text[4:6], 16) / 255.0, a)


def mix(c0, c1, t):
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(4))


def lighten(c, t):
    return mix(c, (1.0, 1.0, 1.0, c[3]), t)


def darken(c, t):
    return mix(c, (0.0, 0.0, 0.0, c[3]), t)


def with_alpha(c, a):
    return (c[0], c[1], c[2], a)


WHITE = (1.0, 1.0, 1.0, 1.0)


# ---------------------------------------------------------------------------
# Shapes: a signed distance function plus a bounding box, both in design units


class Shape:
    def __init__(self, sdf, box):
        self.sdf = sdf
        self.box = box  # (x0, y0, x1, y1)

    def __or__(self, other):
        a, b = self.sdf, other.sdf
        return Shape(lambda x, y: min(a(x, y), b(x, y)), merge_box(self.box, other.box))

    def __and__(self, other):
        a, b = self.sdf, other.sdf
        box = (max(self.box[0], other.box[0]), max(self.box[1], other.box[1]),
               min(self.box[2], other.box[2]), min(self.box[3], other.box[3]))
        return Shape(lambda x, y: max(a(x, y), b(x, y)), box)

    def __sub__(self, other):
        a, b = self.sdf, other.sdf
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.box)

    def inset(self, k):
        """Shrinks the shape by k units (grows it for negative k)."""
        a = self.sdf
        x0, y0, x1, y1 = self.box
        m = max(0.0, -k)
        return Shape(lambda x, y: a(x, y) + k, (x0 - m, y0 - m, x1 + m, y1 + m))

    def stroke(self, width):
        """The band of the given width centred on the outline."""
        a = self.sdf
        h = width / 2.0
        x0, y0, x1, y1 = self.box
        return Shape(lambda x, y: abs(a(x, y)) - h, (x0 - h, y0 - h, x1 + h, y1 + h))

    def rotate(self, degrees, cx=16.0, cy=16.0):
        a = self.sdf
        r = math.radians(degrees)
        cs, sn = math.cos(r), math.sin(r)

        def f(x, y):
            dx, dy = x - cx, y - cy
            return a(cx + dx * cs + dy * sn, cy - dx * sn + dy * cs)

        x0, y0, x1, y1 = self.box
        pts = [(x0, y0), (x1, y0), (x0, y1), (x1, y1)]
        rp = [(cx + (px - cx) * cs - (py - cy) * sn, cy + (px - cx) * sn + (py - cy) * cs) for px, py in pts]
        xs = [p[0] for p in rp]
        ys = [p[1] for p in rp]
        return Shape(f, (min(xs), min(ys), max(xs), max(ys)))

    def move(self, dx, dy):
        a = self.sdf
        x0, y0, x1, y1 = self.box
        return Shape(lambda x, y: a(x - dx, y - dy), (x0 + dx, y0 + dy, x1 + dx, y1 + dy))


def merge_box(p, q):
    return (min(p[0], q[0]), min(p[1], q[1]), max(p[2], q[2]), max(p[3], q[3]))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    # Approximate distance; accurate enough for an outline of a few pixels.
    k = min(rx, ry)
    return Shape(lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * k,
                 (cx - rx, cy - ry, cx + rx, cy + ry))


def rrect(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        out = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return out + min(max(qx, qy), 0.0) - r

    return Shape(f, (x0, y0, x1, y1))


def segment(ax, ay, bx, by, width):
    h = width / 2.0
    vx, vy = bx - ax, by - ay
    ll = vx * vx + vy * vy or 1e-9

    def f(x, y):
        t = ((x - ax) * vx + (y - ay) * vy) / ll
        t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
        return math.hypot(x - ax - vx * t, y - ay - vy * t) - h

    return Shape(f, (min(ax, bx) - h, min(ay, by) - h, max(ax, bx) + h, max(ay, by) + h))


def polyline(points, width):
    s = segment(*points[0], *points[1], width)
    for i in range(1, len(points) - 1):
        s = s | segment(*points[i], *points[i + 1], width)
    return s


def polygon(points):
    pts = list(points)
    n = len(pts)
    edges = []
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        edges.append((ax, ay, bx - ax, by - ay, (bx - ax) ** 2 + (by - ay) ** 2 or 1e-9))

    def f(x, y):
        best = 1e9
        inside = False
        for ax, ay, vx, vy, ll in edges:
            wx, wy = x - ax, y - ay
            t = (wx * vx + wy * vy) / ll
            t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
            dx, dy = wx - vx * t, wy - vy * t
            d = dx * dx + dy * dy
            if d < best:
                best = d
            by_ = ay + vy
            if (ay > y) != (by_ > y):
                xc = ax + vx * (y - ay) / vy
                if x < xc:
                    inside = not inside
        d = math.sqrt(best)
        return -d if inside else d

    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(f, (min(xs), min(ys), max(xs), max(ys)))


def bezier(p0, p1, p2, steps=10):
    out = []
    for i in range(1, steps + 1):
        t = i / float(steps)
        u = 1.0 - t
        out.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                    u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
    return out


# ---------------------------------------------------------------------------
# Paints: a colour or a function of the design position


def linear(x0, y0, c0, x1, y1, c1):
    vx, vy = x1 - x0, y1 - y0
    ll = vx * vx + vy * vy or 1e-9

    def paint(x, y):
        t = ((x - x0) * vx + (y - y0) * vy) / ll
        return mix(c0, c1, 0.0 if t < 0.0 else 1.0 if t > 1.0 else t)

    return paint


def radial(cx, cy, r, c0, c1, power=1.0):
    def paint(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r) ** power
        return mix(c0, c1, t)

    return paint


# ---------------------------------------------------------------------------
# Canvas


class Canvas:
    def __init__(self, size, width=None):
        self.w = width or size
        self.h = size
        self.scale = size / DESIGN  # pixels per design unit
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.w * self.h)]  # premultiplied

    def fill(self, shape, paint, opacity=1.0, dx=0.0):
        """Composites the shape over the canvas; dx shifts it in design units."""
        s = self.scale
        unit = 1.0 / s
        x0, y0, x1, y1 = shape.box
        ix0 = max(0, int(math.floor((x0 + dx) * s)) - 1)
        iy0 = max(0, int(math.floor(y0 * s)) - 1)
        ix1 = min(self.w, int(math.ceil((x1 + dx) * s)) + 1)
        iy1 = min(self.h, int(math.ceil(y1 * s)) + 1)
        sdf = shape.sdf
        band = 0.75 * unit
        offs = [(i + 0.5) / SUB for i in range(SUB)]
        for py in range(iy0, iy1):
            for px in range(ix0, ix1):
                cx = (px + 0.5) * unit - dx
                cy = (py + 0.5) * unit
                d = sdf(cx, cy)
                if d > band:
                    continue
                if d < -band:
                    cov = 1.0
                else:
                    hits = 0
                    for oy in offs:
                        sy = (py + oy) * unit
                        for ox in offs:
                            if sdf((px + ox) * unit - dx, sy) < 0.0:
                                hits += 1
                    if hits == 0:
                        continue
                    cov = hits / float(SUB * SUB)
                col = paint(cx, cy) if callable(paint) else paint
                a = col[3] * cov * opacity
                if a <= 0.0:
                    continue
                p = self.px[py * self.w + px]
                k = 1.0 - a
                p[0] = col[0] * a + p[0] * k
                p[1] = col[1] * a + p[1] * k
                p[2] = col[2] * a + p[2] * k
                p[3] = a + p[3] * k

    def pixels(self):
        """Straight (not premultiplied) RGBA bytes, top row first."""
        out = []
        for p in self.px:
            a = p[3]
            if a <= 1e-6:
                out.append((0, 0, 0, 0))
                continue
            out.append(tuple(int(round(min(1.0, max(0.0, c / a)) * 255)) for c in p[:3]) +
                       (int(round(min(1.0, a) * 255)),))
        return out

    def map_pixels(self, fn):
        for p in self.px:
            fn(p)


# ---------------------------------------------------------------------------
# File writers


def ico_bytes(images):
    """images: list of (size, rgba list top row first)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    blobs = b""
    offset = 6 + 16 * len(images)
    for size, rgba in images:
        xor = bytearray()
        for y in range(size - 1, -1, -1):
            for x in range(size):
                r, g, b, a = rgba[y * size + x]
                xor += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(size):
                if rgba[y * size + x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        bih = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blob = bih + bytes(xor) + bytes(mask)
        dim = size if size < 256 else 0
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return header + entries + blobs


def bmp_bytes(width, height, rgb):
    """rgb: list of (r, g, b), top row first. 24-bit, bottom-up."""
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = rgb[y * width + x]
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        data += row
    bih = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    bfh = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    return bfh + bih + bytes(data)


# ---------------------------------------------------------------------------
# Common parts

SHIELD_PTS = None


def shield_points():
    global SHIELD_PTS
    if SHIELD_PTS is None:
        pts = [(4.5, 6.0)]
        pts += bezier((4.5, 6.0), (10.0, 5.5), (16.0, 2.0), 8)
        pts += bezier((16.0, 2.0), (22.0, 5.5), (27.5, 6.0), 8)
        pts += [(27.5, 15.0)]
        pts += bezier((27.5, 15.0), (27.0, 25.0), (16.0, 30.5), 12)
        pts += bezier((16.0, 30.5), (5.0, 25.0), (4.5, 15.0), 12)
        SHIELD_PTS = pts
    return SHIELD_PTS


def shield():
    return polygon(shield_points())


def draw_glow(cv, colour=hexc("ffc93d"), strength=0.95, r=16.5):
    """A soft halo behind a symbol: the mouse-over look."""
    cv.fill(circle(16, 16, r), radial(16, 16, r, with_alpha(colour, strength), with_alpha(colour, 0.0), 2.2))


def draw_shield(cv, hot=False, emblem="keyhole", pulse=0.0):
    base = shield()
    rim_top = hexc("9cc8ff") if not hot else hexc("ffe39a")
    rim_bot = hexc("4f8fe6") if not hot else hexc("f5a524")
    cv.fill(base.inset(-0.4), hexc("0d2c66", 0.9))
    cv.fill(base, linear(0, 2, lighten(rim_top, pulse * 0.5), 0, 30, lighten(rim_bot, pulse * 0.4)))
    inner = base.inset(2.2 if cv.h >= 32 else 2.6)
    body_top = hexc("2d6fd6") if not hot else hexc("3b82f6")
    body_bot = hexc("123a82") if not hot else hexc("1d4fb8")
    cv.fill(inner, linear(0, 4, lighten(body_top, pulse * 0.25), 0, 28, body_bot))
    # A soft sheen over the upper-left half of the body.
    sheen = inner & polygon([(0, 0), (32, 0), (32, 4), (0, 22)])
    cv.fill(sheen, (1.0, 1.0, 1.0, 0.12 + 0.1 * pulse))
    if emblem == "keyhole":
        hole = circle(16, 12.8, 3.9) | polygon([(14.0, 14.0), (18.0, 14.0), (19.6, 23.5), (12.4, 23.5)])
        cv.fill(hole.move(0.0, 0.6), (0.0, 0.05, 0.2, 0.35))
        cv.fill(hole, WHITE)
    elif emblem == "check":
        cv.fill(polyline([(10.0, 16.0), (14.5, 20.5), (22.5, 11.0)], 3.8), WHITE)
    elif emblem == "cross":
        cv.fill(segment(11.5, 10.5, 20.5, 20.5, 3.8) | segment(20.5, 10.5, 11.5, 20.5, 3.8), hexc("ff6b6b"))
    elif emblem == "list":
        for i, y in enumerate((11.0, 16.0, 21.0)):
            cv.fill(circle(11.0, y, 1.5), WHITE)
            cv.fill(segment(14.5, y, 21.5 - (3.0 if i == 2 else 0.0), y, 2.2), WHITE)
    return inner


# ---------------------------------------------------------------------------
# Button symbols. Each takes the canvas and whether it is the mouse-over form.


def sym_run(cv, hot):
    c0, c1 = (hexc("3cc46a"), hexc("1d8a45")) if not hot else (hexc("7ef0a0"), hexc("1fb356"))
    cv.fill(circle(16, 16, 13.5), darken(c1, 0.25))
    cv.fill(circle(16, 16, 12.5), linear(0, 4, c0, 0, 28, c1))
    cv.fill(circle(16, 16, 12.5) & rrect(0, 0, 32, 15, 0), (1, 1, 1, 0.12))
    tri = polygon([(12.5, 9.0), (12.5, 23.0), (24.0, 16.0)])
    cv.fill(tri.inset(-0.8), (0, 0.2, 0.05, 0.25))
    cv.fill(tri, WHITE)


def sheet(cv, x0, y0, x1, y1, edge, face, lines=0, line_col=None):
    cv.fill(rrect(x0, y0, x1, y1, 2.0), edge)
    cv.fill(rrect(x0 + 1.5, y0 + 1.5, x1 - 1.5, y1 - 1.5, 1.0), face)
    if lines:
        gap = (y1 - y0 - 8.0) / lines
        for i in range(lines):
            y = y0 + 5.5 + i * gap
            x_end = x1 - 4.0 - (3.0 if i == lines - 1 else 0.0)
            cv.fill(segment(x0 + 4.0, y, x_end, y, 1.8), line_col)


def sym_copy(cv, hot):
    edge = hexc("2f63b6") if not hot else hexc("2f7df0")
    back = hexc("cfdcf0") if not hot else hexc("ffe3a3")
    line = hexc("7fa3d9") if not hot else hexc("f59e0b")
    sheet(cv, 4, 3, 20, 23, edge, back)
    sheet(cv, 11.5, 9.5, 28, 29.5, edge, WHITE, 3, line)


def folder_back(cv, col):
    cv.fill(polygon([(2.5, 7.0), (11.5, 7.0), (14.0, 10.0), (28.5, 10.0), (28.5, 27.5), (2.5, 27.5)]), col)


def sym_open(cv, hot):
    back = hexc("c98512") if not hot else hexc("e0780a")
    front0, front1 = (hexc("ffd66b"), hexc("f2b33a")) if not hot else (hexc("ffe27a"), hexc("ff9f1a"))
    folder_back(cv, back)
    # A sheet of paper peeking out of the open folder.
    cv.fill(rrect(6.5, 11.5, 25.0, 22.0, 1.0), hexc("fbfbfb"))
    front = polygon([(7.0, 15.0), (31.0, 15.0), (26.5, 27.5), (2.5, 27.5)])
    cv.fill(front, linear(0, 15, front0, 0, 28, front1))
    cv.fill(polygon([(7.0, 15.0), (31.0, 15.0), (30.3, 17.0), (6.3, 17.0)]), (1, 1, 1, 0.35))


def pencil(cv, hot, length=24.0, width=7.0, angle=-45.0, cx=16.0, cy=16.0):
    """A pencil along the x axis centred on (cx, cy), rotated by angle."""
    x0 = cx - length / 2.0
    x1 = cx + length / 2.0
    h = width / 2.0
    tip = width * 1.15
    body0, body1 = (hexc("ffc93c"), hexc("e09a00")) if not hot else (hexc("ffdc5e"), hexc("ff9f1a"))
    parts = [
        (rrect(x0, cy - h, x0 + width * 0.7, cy + h, 1.5), hexc("e98aa2") if not hot else hexc("ff8fb0")),
        (rrect(x0 + width * 0.6, cy - h, x0 + width * 1.05, cy + h, 0.0), hexc("9aa6b2")),
        (rrect(x0 + width * 1.0, cy - h, x1 - tip, cy + h, 0.0), linear(0, cy - h, body0, 0, cy + h, body1)),
        (rrect(x0 + width * 1.0, cy - h, x1 - tip, cy - h + width * 0.3, 0.0), (1, 1, 1, 0.35)),
        (polygon([(x1 - tip, cy - h), (x1, cy), (x1 - tip, cy + h)]), hexc("f1d3a5")),
        (polygon([(x1 - tip * 0.38, cy - h * 0.38), (x1, cy), (x1 - tip * 0.38, cy + h * 0.38)]), hexc("333840")),
    ]
    outline = (rrect(x0 - 0.8, cy - h - 0.8, x1 - tip, cy + h + 0.8, 2.0) |
               polygon([(x1 - tip, cy - h - 0.8), (x1 + 1.2, cy), (x1 - tip, cy + h + 0.8)]))
    cv.fill(outline.rotate(angle, cx, cy), hexc("5a4320", 0.85))
    for shp, paint in parts:
        if callable(paint):
            # Gradients follow the pencil: sample them in its own frame.
            r = math.radians(-angle)
            cs, sn = math.cos(r), math.sin(r)
            p0 = paint

            def paint(x, y, p0=p0, cs=cs, sn=sn):
                dx, dy = x - cx, y - cy
                return p0(cx + dx * cs - dy * sn, cy + dx * sn + dy * cs)
        cv.fill(shp.rotate(angle, cx, cy), paint)


def sym_modify(cv, hot):
    pencil(cv, hot, 27.0, 7.5, 135.0, 16.0, 16.0)


def sym_del(cv, hot):
    c0, c1 = (hexc("7d8ea6"), hexc("52627a")) if not hot else (hexc("ff6b6b"), hexc("d12f2f"))
    edge = darken(c1, 0.3)
    cv.fill(rrect(12.0, 2.5, 20.0, 7.5, 2.0).stroke(2.0), edge)
    body = polygon([(7.5, 10.0), (24.5, 10.0), (22.8, 29.0), (9.2, 29.0)])
    cv.fill(body.inset(-1.0), edge)
    cv.fill(body, linear(8, 0, c0, 24, 0, c1))
    for x in (12.2, 16.0, 19.8):
        cv.fill(segment(x, 13.5, x - (x - 16.0) * 0.08, 25.5, 1.8), (1, 1, 1, 0.45))
    cv.fill(rrect(4.5, 6.5, 27.5, 10.5, 1.5).inset(-0.9), edge)
    cv.fill(rrect(4.5, 6.5, 27.5, 10.5, 1.5), linear(0, 6, lighten(c0, 0.2), 0, 11, c0))


def sym_find(cv, hot):
    ring = hexc("2b4f86") if not hot else hexc("2563eb")
    glass = hexc("cfe6ff", 0.85) if not hot else hexc("fff1b8", 0.9)
    handle = hexc("3b3f4a") if not hot else hexc("d97706")
    cv.fill(segment(19.0, 19.0, 27.5, 27.5, 6.0), handle)
    cv.fill(segment(20.5, 20.5, 27.0, 27.0, 2.0), (1, 1, 1, 0.25))
    cv.fill(circle(13.0, 13.0, 10.0), ring)
    cv.fill(circle(13.0, 13.0, 7.0), glass)
    cv.fill(circle(13.0, 13.0, 7.0) & circle(10.0, 10.0, 4.5), (1, 1, 1, 0.7))


def sym_print(cv, hot):
    body0, body1 = (hexc("6b7a90"), hexc("3f4b5e")) if not hot else (hexc("7c93b8"), hexc("4a5f85"))
    edge = hexc("2a3140")
    sheet_edge = hexc("8a94a3")
    cv.fill(rrect(8.5, 2.5, 23.5, 13.0, 1.0), sheet_edge)
    cv.fill(rrect(9.7, 3.7, 22.3, 13.0, 0.5), WHITE)
    cv.fill(rrect(3.0, 10.5, 29.0, 24.5, 3.0).inset(-0.9), edge)
    cv.fill(rrect(3.0, 10.5, 29.0, 24.5, 3.0), linear(0, 10, body0, 0, 25, body1))
    cv.fill(rrect(3.0, 10.5, 29.0, 13.5, 3.0) & rrect(3.0, 10.5, 29.0, 13.0, 0), (1, 1, 1, 0.25))
    cv.fill(circle(24.5, 15.5, 1.6), hexc("4ade80") if not hot else hexc("ffb020"))
    cv.fill(rrect(8.5, 19.5, 23.5, 29.5, 1.0), sheet_edge)
    cv.fill(rrect(9.7, 19.5, 22.3, 28.3, 0.5), WHITE)
    for y in (22.5, 25.5):
        cv.fill(segment(12.0, y, 20.0, y, 1.4), hexc("9aa8bb") if not hot else hexc("f59e0b"))
    cv.fill(rrect(7.0, 18.5, 25.0, 20.5, 1.0), edge)


def arrow(x_tail, x_head, y, width, head, col):
    direction = 1.0 if x_head > x_tail else -1.0
    base = x_head - direction * head
    shaft = segment(x_tail, y, base + direction * 0.5, y, width)
    tip = polygon([(base, y - head * 0.85), (x_head, y), (base, y + head * 0.85)])
    return shaft | tip


def sym_view(cv, hot):
    top0, top1 = (hexc("3b82f6"), hexc("1d4ed8")) if not hot else (hexc("fcd34d"), hexc("f59e0b"))
    bot0, bot1 = (hexc("14b8a6"), hexc("0f766e")) if not hot else (hexc("fdba74"), hexc("ea580c"))
    a1 = arrow(4.0, 29.0, 10.0, 4.2, 8.0, None)
    a2 = arrow(28.0, 3.0, 22.0, 4.2, 8.0, None)
    cv.fill(a1.inset(-0.9), darken(top1, 0.35))
    cv.fill(a1, linear(4, 0, top0, 29, 0, top1))
    cv.fill(a2.inset(-0.9), darken(bot1, 0.35))
    cv.fill(a2, linear(28, 0, bot0, 3, 0, bot1))


def gear(teeth=8, r_out=14.0, r_body=10.5, r_hole=4.2, tooth_w=5.0, cx=16.0, cy=16.0):
    g = circle(cx, cy, r_body)
    for i in range(teeth):
        t = rrect(cx - tooth_w / 2.0, cy - r_out, cx + tooth_w / 2.0, cy, 1.0)
        g = g | t.rotate(360.0 * i / teeth, cx, cy)
    return g - circle(cx, cy, r_hole)


def sym_options(cv, hot):
    c0, c1 = (hexc("8795aa"), hexc("4b586c")) if not hot else (hexc("ffc247"), hexc("e07b00"))
    g = gear()
    cv.fill(g.inset(-0.9), darken(c1, 0.35))
    cv.fill(g, linear(0, 2, c0, 0, 30, c1))
    cv.fill(circle(16, 16, 7.0).stroke(1.2) - circle(16, 16, 4.2), (1, 1, 1, 0.3))


def sym_edit(cv, hot):
    edge = hexc("2f63b6") if not hot else hexc("2f7df0")
    line = hexc("8fb0e0") if not hot else hexc("f59e0b")
    sheet(cv, 3, 2.5, 21.5, 29.5, edge, WHITE)
    for i, y in enumerate((8.0, 12.5, 17.0, 21.5)):
        cv.fill(circle(7.5, y, 1.2), edge)
        cv.fill(segment(10.5, y, 17.5 - (3.0 if i == 3 else 0.0), y, 1.8), line)
    pencil(cv, hot, 20.0, 6.0, 125.0, 22.0, 17.5)


def sym_remove(cv, hot):
    c0, c1 = (hexc("e05252"), hexc("a51c1c")) if not hot else (hexc("ff8a7a"), hexc("f03a30"))
    cv.fill(circle(16, 16, 13.5), darken(c1, 0.3))
    cv.fill(circle(16, 16, 12.5), linear(0, 4, c0, 0, 28, c1))
    cv.fill(circle(16, 16, 12.5) & rrect(0, 0, 32, 15, 0), (1, 1, 1, 0.12))
    cv.fill(rrect(8.5, 13.8, 23.5, 18.2, 1.5), WHITE)


def page_with_lines(cv, x0=5.5, y0=2.5, x1=26.5, y1=29.5, small=False):
    fold = 7.0
    outline = polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    edge = hexc("56708f")
    cv.fill(outline.inset(-1.0), edge)
    cv.fill(outline, linear(0, y0, WHITE, 0, y1, hexc("e8eef6")))
    cv.fill(polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)]), hexc("c3cfdd"))
    ys = (11.5, 16.5, 21.5, 26.0) if not small else (12.0, 17.5, 23.0)
    for i, y in enumerate(ys):
        end = x1 - 4.5 - (4.0 if i == len(ys) - 1 else 0.0)
        cv.fill(segment(x0 + 4.0, y, end, y, 2.2 if small else 1.8), hexc("3b82f6"))


SYMBOLS = {
    "run": sym_run, "copy": sym_copy, "open": sym_open, "modify": sym_modify, "del": sym_del,
    "find": sym_find, "print": sym_print, "view": sym_view, "options": sym_options,
    "edit": sym_edit, "remove": sym_remove,
}


# ---------------------------------------------------------------------------
# Icon builders: each returns a Canvas for a size


def button_icon(name, state):
    def build(size):
        cv = Canvas(size)
        if state == "hot":
            draw_glow(cv)
        SYMBOLS[name](cv, state == "hot")
        if state == "disabled":
            greyed(cv)
        return cv
    return build


def greyed(cv):
    def fn(p):
        a = p[3]
        if a <= 0.0:
            return
        r, g, b = p[0] / a, p[1] / a, p[2] / a
        lum = 0.3 * r + 0.59 * g + 0.11 * b
        lum = lum + (1.0 - lum) * 0.35
        na = a * 0.6
        p[0] = p[1] = p[2] = lum * na
        p[3] = na
    cv.map_pixels(fn)


def shield_icon(hot=False, emblem="keyhole"):
    def build(size):
        cv = Canvas(size)
        if hot:
            draw_glow(cv, hexc("8fd0ff"), 0.8)
        draw_shield(cv, hot, emblem)
        return cv
    return build


def anim_frame(i, frames=16):
    """A light band sweeps across the shield while its rim pulses."""
    phase = i / float(frames)

    def build(size):
        cv = Canvas(size)
        pulse = 0.5 - 0.5 * math.cos(2.0 * math.pi * phase)
        if pulse > 0.05:
            draw_glow(cv, hexc("8fd0ff"), 0.65 * pulse)
        inner = draw_shield(cv, False, "keyhole", pulse)
        pos = 48.0 * phase  # band centre along x at the top edge
        w = 5.0
        band = polygon([(pos - w, 0.0), (pos + w, 0.0), (pos + w - 16.0, 32.0), (pos - w - 16.0, 32.0)])
        cv.fill(inner & band, (1.0, 1.0, 1.0, 0.38))
        cv.fill(inner & band.inset(2.2), (1.0, 1.0, 1.0, 0.25))
        return cv
    return build


def rules_icon(size):
    cv = Canvas(size)
    draw_shield(cv, False, "list")
    return cv


def log_icon(size):
    cv = Canvas(size)
    page_with_lines(cv, small=size <= 16)
    return cv


# ---------------------------------------------------------------------------
# Small images for image lists (16x16 cells on magenta)


def folder_closed(cv):
    cv.fill(polygon([(2.5, 6.0), (12.0, 6.0), (14.5, 9.0), (29.5, 9.0), (29.5, 27.5), (2.5, 27.5)]).inset(-1.0),
            hexc("a86a0a"))
    cv.fill(polygon([(2.5, 6.0), (12.0, 6.0), (14.5, 9.0), (29.5, 9.0), (29.5, 27.5), (2.5, 27.5)]),
            hexc("e0a030"))
    cv.fill(rrect(2.5, 12.0, 29.5, 27.5, 1.0), linear(0, 12, hexc("ffd66b"), 0, 28, hexc("f2b33a")))


def files_tab(cv):
    folder_back(cv, hexc("c98512"))
    cv.fill(rrect(8.0, 4.0, 22.0, 20.0, 1.0).inset(-1.0), hexc("56708f"))
    cv.fill(rrect(8.0, 4.0, 22.0, 20.0, 1.0), WHITE)
    for y in (8.5, 12.5):
        cv.fill(segment(11.0, y, 19.0, y, 2.0), hexc("3b82f6"))
    cv.fill(polygon([(6.0, 14.0), (31.0, 14.0), (27.0, 28.0), (2.0, 28.0)]).inset(-0.8), hexc("a86a0a"))
    cv.fill(polygon([(6.0, 14.0), (31.0, 14.0), (27.0, 28.0), (2.0, 28.0)]),
            linear(0, 14, hexc("ffd66b"), 0, 28, hexc("f2b33a")))


def log_tab(cv):
    page_with_lines(cv, 6.0, 2.0, 26.0, 30.0, small=True)


def options_tab(cv):
    g = gear(8, 15.0, 11.0, 4.5, 6.0)
    cv.fill(g.inset(-1.0), hexc("2f3a4a"))
    cv.fill(g, linear(0, 1, hexc("8795aa"), 0, 31, hexc("4b586c")))


def denied_img(cv):
    cv.fill(circle(16, 16, 14.0), hexc("fde2e2"))
    cv.fill(segment(9.0, 9.0, 23.0, 23.0, 5.5) | segment(23.0, 9.0, 9.0, 23.0, 5.5), hexc("d62828"))


def approved_img(cv):
    cv.fill(circle(16, 16, 14.0), hexc("dcf5e3"))
    cv.fill(polyline([(7.5, 16.5), (13.5, 22.5), (24.5, 10.0)], 5.5), hexc("1f9d4c"))


def registry_img(cv):
    top = polygon([(16.0, 2.5), (28.5, 9.0), (16.0, 15.5), (3.5, 9.0)])
    left = polygon([(3.5, 9.0), (16.0, 15.5), (16.0, 29.5), (3.5, 23.0)])
    right = polygon([(16.0, 15.5), (28.5, 9.0), (28.5, 23.0), (16.0, 29.5)])
    cv.fill((top | left | right).inset(-1.0), hexc("173a6b"))
    cv.fill(top, hexc("8cc4ff"))
    cv.fill(left, hexc("3d7cc9"))
    cv.fill(right, hexc("2a5a9a"))
    cv.fill(segment(16.0, 15.5, 16.0, 29.5, 1.0) | segment(3.5, 9.0, 16.0, 15.5, 1.0) |
            segment(16.0, 15.5, 28.5, 9.0, 1.0), (1, 1, 1, 0.5))


def globe_img(cv):
    cv.fill(circle(16, 16, 14.5), hexc("1c4f8f"))
    cv.fill(circle(16, 16, 13.5), radial(12, 11, 18, hexc("6bb8ff"), hexc("2367c2")))
    land = (ellipse(11.0, 11.0, 5.5, 4.0).rotate(-20.0, 11.0, 11.0) |
            ellipse(20.0, 20.0, 5.0, 6.0).rotate(25.0, 20.0, 20.0) | circle(23.0, 9.0, 2.5))
    cv.fill(land & circle(16, 16, 13.5), hexc("4caf50"))
    lines = (ellipse(16, 16, 6.0, 13.5).stroke(1.2) | segment(2.5, 16.0, 29.5, 16.0, 1.2) |
             segment(16.0, 2.5, 16.0, 29.5, 1.2))
    cv.fill(lines & circle(16, 16, 13.5), (1, 1, 1, 0.55))


def folder_img(cv):
    folder_closed(cv)


# ---------------------------------------------------------------------------
# Bitmaps


def strip(cells, background, cell=16):
    """Renders 16x16 images side by side. Pixels that stay mostly transparent
    become magenta (the image list's mask colour); the rest are blended over
    the colour of the surface they are shown on, so no pink fringe remains."""
    width = cell * len(cells)
    rgb = [(255, 0, 255)] * (width * cell)
    for i, draw in enumerate(cells):
        if draw is None:
            continue
        cv = Canvas(cell)
        draw(cv)
        for j, (r, g, b, a) in enumerate(cv.pixels()):
            if a < 96:
                continue
            t = a / 255.0
            x = i * cell + j % cell
            y = j // cell
            rgb[y * width + x] = tuple(int(round(c * t + bg * (1.0 - t))) for c, bg in zip((r, g, b), background))
    return width, cell, rgb


def background_tile(size=128):
    """A calm, seamless pale blue-grey texture: a soft diagonal wash plus
    low-amplitude periodic waves, all with whole periods over the tile."""
    base = (234.0, 239.0, 245.0)
    rgb = []
    tau = 2.0 * math.pi
    for y in range(size):
        for x in range(size):
            u, v = x / float(size), y / float(size)
            n = (1.6 * math.sin(tau * (u + v)) +
                 1.1 * math.sin(tau * (2 * u - v) + 1.3) +
                 0.8 * math.sin(tau * (3 * v + u) + 0.4) +
                 0.6 * math.sin(tau * (5 * u + 2 * v) + 2.1) +
                 0.5 * math.sin(tau * (4 * u - 3 * v) + 0.9))
            # Fine, faint cross-hatch for a paper-like grain.
            g = 0.9 if (x + y) % 4 == 0 else 0.0
            g -= 0.6 if (x - y) % 4 == 0 else 0.0
            k = n + g
            rgb.append((int(round(base[0] + k)), int(round(base[1] + k * 1.05)), int(round(base[2] + k * 0.8))))
    return size, size, rgb


# ---------------------------------------------------------------------------
# The list of resources


BUTTONS = [
    # name, over, normal, disabled
    ("run", 167, 150, 144),
    ("copy", 164, 148, 146),
    ("open", 168, 153, 147),
    ("modify", 169, 143, 151),
    ("del", 166, 145, 154),
    ("find", 172, 142, 158),
    ("print", 173, 152, 159),
    ("view", 174, 157, 160),
    ("options", 165, 149, 161),
    ("edit", 176, 155, 162),
    ("remove", 177, 156, 163),
]


def icon_table():
    table = {128: (shield_icon(), (16, 32, 48))}
    for name, over, normal, disabled in BUTTONS:
        table[over] = (button_icon(name, "hot"), (16, 32))
        table[normal] = (button_icon(name, "normal"), (16, 32))
        table[disabled] = (button_icon(name, "disabled"), (16, 32))
    table[170] = (shield_icon(emblem="cross"), (16, 32))
    table[171] = (shield_icon(emblem="check"), (16, 32))
    table[175] = (shield_icon(hot=True), (16, 32))
    for i in range(16):
        table[188 + i] = (anim_frame(i), (16, 32))
    table[207] = (rules_icon, (16, 32))
    table[209] = (log_icon, (16, 32))
    return table


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: gen_art.py OUTDIR\n")
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)

    def write(name, data):
        path = os.path.join(out, name)
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.write(data)
        os.replace(tmp, path)

    table = icon_table()
    missing = [n for n in range(142, 178) if n not in table]
    if missing:
        raise SystemExit("icons without a drawing: %s" % missing)
    for number in sorted(table):
        build, sizes = table[number]
        images = [(s, build(s).pixels()) for s in sizes]
        write("icon_%d.ico" % number, ico_bytes(images))

    w, h, rgb = background_tile()
    write("bitmap_132.bmp", bmp_bytes(w, h, rgb))
    w, h, rgb = strip([files_tab, log_tab, options_tab], (240, 240, 240))
    write("bitmap_163.bmp", bmp_bytes(w, h, rgb))
    w, h, rgb = strip([denied_img, approved_img, None, registry_img, globe_img, folder_img], (255, 255, 255))
    write("bitmap_183.bmp", bmp_bytes(w, h, rgb))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
