#!/usr/bin/env python3
"""Draws the web report's two images and writes them as GIF files.

    python3 make_images.py            write banner.gif and badge.gif next to this script
    python3 make_images.py --out DIR  write them into DIR instead
    python3 make_images.py --check    verify the files next to this script (or in --out DIR)

banner.gif (468 x 60) heads the web report: a kestrel mark and the product name.
badge.gif (85 x 20) is the small neutral "mail system" badge in the report's footer.

Everything is drawn here from code: the palettes, a stroke font for the banner title,
a pixel font for small text, and the GIF encoder. Only the standard library is used and
the output is the same byte for byte on every run, so the committed GIFs can always be
regenerated and compared.

--check decodes the files with the decoder below and compares header, size, palette and
every pixel with a fresh drawing, checks that the files are byte-identical to what this
script writes now, and round-trips a few synthetic images through the encoder (among them
one large enough to fill the code table several times).
"""

import argparse
import math
import os
import sys

# ---------------------------------------------------------------------------------------
# Canvas and palette
# ---------------------------------------------------------------------------------------


class Palette:
    """An indexed palette with named colours and blend ramps between pairs of colours."""

    def __init__(self):
        self.colours = []
        self.names = {}
        self.ramps = {}

    def add(self, name, rgb):
        self.names[name] = len(self.colours)
        self.colours.append(tuple(rgb))
        return self.names[name]

    def __getitem__(self, name):
        return self.names[name]

    def add_ramp(self, back, ink, steps):
        """Adds steps - 1 colours between back and ink for anti-aliased edges; the ramp
        runs from back (coverage 0) to ink (full coverage)."""
        b, i = self.colours[self[back]], self.colours[self[ink]]
        ramp = [self[back]]
        for k in range(1, steps):
            t = k / steps
            rgb = tuple(int(round(b[c] + (i[c] - b[c]) * t)) for c in range(3))
            ramp.append(self.add("%s>%s:%d" % (back, ink, k), rgb))
        ramp.append(self[ink])
        self.ramps[(back, ink)] = ramp


class Canvas:
    def __init__(self, width, height, palette, fill):
        self.width = width
        self.height = height
        self.palette = palette
        self.pixels = bytearray([palette[fill]]) * (width * height)

    def set(self, x, y, name):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = self.palette[name]

    def rect(self, x0, y0, x1, y1, name):
        """Fills the pixels x0 <= x < x1, y0 <= y < y1."""
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.pixels[y * self.width + x] = self.palette[name]

    def cover(self, coverage, back, ink):
        """Paints ink over back with the given per-pixel coverage {(x, y): 0..1}, through
        the back-to-ink ramp. Only pixels that still show back (or an earlier edge of the
        same ramp) are touched, so shapes of one colour can meet without seams."""
        ramp = self.palette.ramps[(back, ink)]
        level_of = {index: level for level, index in enumerate(ramp)}
        top = len(ramp) - 1
        for (x, y), c in coverage.items():
            if not (0 <= x < self.width and 0 <= y < self.height):
                continue
            level = int(math.floor(c * top + 0.5))
            if level <= 0:
                continue
            at = y * self.width + x
            old = level_of.get(self.pixels[at])
            if old is None:
                raise ValueError("pixel (%d, %d) is not on the %s/%s ramp" % (x, y, back, ink))
            self.pixels[at] = ramp[max(old, level)]


# ---------------------------------------------------------------------------------------
# Anti-aliased shapes: stroked polylines and filled polygons, both supersampled
# ---------------------------------------------------------------------------------------

SUPERSAMPLE = 5  # samples per pixel along each axis on edge pixels


def _segment_distance_sq(px, py, seg):
    ax, ay, dx, dy, len_sq = seg
    t = 0.0
    if len_sq > 0.0:
        t = ((px - ax) * dx + (py - ay) * dy) / len_sq
        t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    ex, ey = ax + t * dx - px, ay + t * dy - py
    return ex * ex + ey * ey


def stroke_coverage(polylines, half_width):
    """Coverage of round-capped strokes of the given half width along polylines given in
    pixel coordinates (pixel x covers x .. x + 1)."""
    segs = []
    xs, ys = [], []
    for line in polylines:
        if len(line) == 1:
            line = [line[0], line[0]]
        for (ax, ay), (bx, by) in zip(line, line[1:]):
            segs.append((ax, ay, bx - ax, by - ay, (bx - ax) ** 2 + (by - ay) ** 2))
            xs += [ax, bx]
            ys += [ay, by]
    reach = half_width + 1
    x0, x1 = int(math.floor(min(xs) - reach)), int(math.ceil(max(xs) + reach))
    y0, y1 = int(math.floor(min(ys) - reach)), int(math.ceil(max(ys) + reach))
    inner = max(0.0, half_width - 0.75) ** 2
    outer = (half_width + 0.75) ** 2
    hw_sq = half_width * half_width
    n = SUPERSAMPLE
    offsets = [(k + 0.5) / n for k in range(n)]
    coverage = {}
    for y in range(y0, y1):
        for x in range(x0, x1):
            d = min(_segment_distance_sq(x + 0.5, y + 0.5, s) for s in segs)
            if d <= inner:
                coverage[(x, y)] = 1.0
                continue
            if d >= outer:
                continue
            near = [s for s in segs if _segment_distance_sq(x + 0.5, y + 0.5, s) < outer]
            hits = 0
            for oy in offsets:
                for ox in offsets:
                    if any(_segment_distance_sq(x + ox, y + oy, s) <= hw_sq for s in near):
                        hits += 1
            if hits:
                coverage[(x, y)] = hits / (n * n)
    return coverage


def polygon_coverage(points):
    """Coverage of a filled polygon (even-odd rule) given in pixel coordinates."""
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    edges = list(zip(points, points[1:] + points[:1]))
    n = SUPERSAMPLE
    offsets = [(k + 0.5) / n for k in range(n)]
    coverage = {}
    for y in range(int(math.floor(min(ys))), int(math.ceil(max(ys)))):
        for x in range(int(math.floor(min(xs))), int(math.ceil(max(xs)))):
            hits = 0
            for oy in offsets:
                sy = y + oy
                crossings = []
                for (ax, ay), (bx, by) in edges:
                    if (ay <= sy) != (by <= sy):
                        crossings.append(ax + (sy - ay) * (bx - ax) / (by - ay))
                for ox in offsets:
                    sx = x + ox
                    if sum(1 for cx in crossings if cx < sx) % 2:
                        hits += 1
            if hits:
                coverage[(x, y)] = hits / (n * n)
    return coverage


# ---------------------------------------------------------------------------------------
# Stroke font for the banner title
# ---------------------------------------------------------------------------------------
# Glyphs are centre lines in font units: baseline at y = 0, y upwards, cap height 100,
# x-height 72. They are stroked with round caps, so every letter shares one stroke weight.

STROKE = 15      # stroke width in font units
TRACKING = 11    # extra space between letters in font units


def arc(cx, cy, rx, ry, start, end, step=6):
    """Points along an elliptical arc from angle start to end (degrees, counter-clockwise
    positive, either direction), rounded to six decimals so that last-digit differences
    between maths libraries do not reach the output."""
    count = max(1, int(math.ceil(abs(end - start) / step)))
    points = []
    for k in range(count + 1):
        a = math.radians(start + (end - start) * k / count)
        points.append((round(cx + rx * math.cos(a), 6), round(cy + ry * math.sin(a), 6)))
    return points


STROKE_GLYPHS = {
    # char: (width of the centre lines, [polylines])
    "K": (62, [[(0, 0), (0, 100)],
               [(62, 100), (2, 37)],
               [(25, 61), (64, 0)]]),
    "e": (72, [[(0, 36), (72, 36)] + arc(36, 36, 36, 36, 0, 308)]),
    "s": (52, [arc(26, 54, 26, 18, 28, 270) + arc(26, 18, 26, 18, 90, -152)[1:]]),
    "t": (44, [[(18, 94)] + arc(38, 20, 20, 20, 180, 270) + [(44, 0)],
               [(0, 72), (40, 72)]]),
    "r": (50, [[(0, 0), (0, 72)],
               arc(34, 38, 34, 34, 180, 62)]),
    "a": (72, [arc(36, 36, 36, 36, 0, 360),
               [(72, 0), (72, 72)]]),
    "m": (96, [[(0, 0), (0, 72)],
               arc(24, 48, 24, 24, 180, 0) + [(48, 0)],
               arc(72, 48, 24, 24, 180, 0) + [(96, 0)]]),
    "3": (62, [arc(30, 76, 28, 24, 152, -90),
               arc(30, 26, 32, 26, 90, -152),
               [(16, 52), (30, 52)]]),
    "2": (64, [arc(31, 70, 31, 30, 162, -36) + [(0, 0), (64, 0)]]),
    " ": (22, []),
}


def stroke_text_width(text, scale):
    advance = sum(STROKE_GLYPHS[ch][0] for ch in text)
    advance += (STROKE + TRACKING) * (len(text) - 1)
    return advance * scale


def stroke_text_polylines(text, x, baseline, scale):
    """Yields (char, polylines in pixel coordinates) for text whose first centre line
    starts at x; the visible ink extends half a stroke further on every side."""
    for ch in text:
        width, lines = STROKE_GLYPHS[ch]
        yield ch, [[(x + px * scale, baseline - py * scale) for px, py in line] for line in lines]
        x += (width + STROKE + TRACKING) * scale


# ---------------------------------------------------------------------------------------
# Pixel font for small text
# ---------------------------------------------------------------------------------------
# Rows 0-6 run from ascender to baseline, rows 7-8 hold descenders; x-height is 5 rows.

PIXEL_GLYPHS = {
    "a": ["", "", ".##.", "...#", ".###", "#..#", ".###"],
    "b": ["#...", "#...", "###.", "#..#", "#..#", "#..#", "###."],
    "e": ["", "", ".##.", "#..#", "####", "#...", ".##."],
    "i": ["#", "", "#", "#", "#", "#", "#"],
    "l": ["#.", "#.", "#.", "#.", "#.", "#.", ".#"],
    "m": ["", "", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    "o": ["", "", ".##.", "#..#", "#..#", "#..#", ".##."],
    "p": ["", "", "###.", "#..#", "#..#", "#..#", "###.", "#...", "#..."],
    "r": ["", "", "#.#", "##.", "#..", "#..", "#.."],
    "s": ["", "", ".###", "#...", ".##.", "...#", "###."],
    "t": ["", ".#.", "###", ".#.", ".#.", ".#.", "..#"],
    "x": ["", "", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    "y": ["", "", "#..#", "#..#", "#..#", "#..#", ".###", "...#", ".##."],
    " ": ["..", "", "", "", "", "", ""],
}


def _pixel_glyph_width(ch):
    return max(len(row) for row in PIXEL_GLYPHS[ch])


def pixel_text_width(text):
    return sum(_pixel_glyph_width(ch) for ch in text) + len(text) - 1


def draw_pixel_text(canvas, text, x, top, name):
    """Draws text with its ascender row at top; returns the x after the last glyph."""
    for ch in text:
        for dy, row in enumerate(PIXEL_GLYPHS[ch]):
            for dx, bit in enumerate(row):
                if bit == "#":
                    canvas.set(x + dx, top + dy, name)
        x += _pixel_glyph_width(ch) + 1
    return x - 1


ENVELOPE = [
    "###########",
    "##.......##",
    "#.#.....#.#",
    "#..#...#..#",
    "#...#.#...#",
    "#....#....#",
    "#.........#",
    "###########",
]


def draw_bitmap(canvas, rows, x, y, name):
    for dy, row in enumerate(rows):
        for dx, bit in enumerate(row):
            if bit == "#":
                canvas.set(x + dx, y + dy, name)


# ---------------------------------------------------------------------------------------
# The two images
# ---------------------------------------------------------------------------------------

# Half outline of the kestrel mark (wings spread, tail fanned), in a 100 x 100 box with
# y downwards; the other half is its mirror image about x = 50.
KESTREL_HALF = [
    (50, 16), (54, 18), (55.5, 25), (60, 31), (70, 25), (81, 22), (91, 27), (100, 44),
    (87, 37), (75, 37), (65, 43), (58, 51), (56.5, 62), (63, 84), (56, 86), (50, 84),
]


def kestrel_outline(x, y, size):
    right = KESTREL_HALF
    left = [(100 - px, py) for px, py in reversed(right[1:-1])]
    return [(x + px * size / 100, y + py * size / 100) for px, py in right + left]


def draw_banner():
    pal = Palette()
    pal.add("back", (22, 46, 74))
    pal.add("white", (255, 255, 255))
    pal.add("amber", (232, 140, 48))
    pal.add("muted", (150, 176, 204))
    pal.add_ramp("back", "white", 5)
    pal.add_ramp("back", "amber", 5)
    width, height = 468, 60
    canvas = Canvas(width, height, pal, "back")

    # Accent line along the bottom edge.
    canvas.rect(0, height - 3, width, height, "amber")

    # The mark.
    canvas.cover(polygon_coverage(kestrel_outline(10, 4, 50)), "back", "amber")

    # The title: cap height 30 px, vertically centred over the accent line.
    scale = 0.30
    baseline = 44.0
    x = 74 + STROKE * scale / 2
    for ch, lines in stroke_text_polylines("Kestrama 32", x, baseline, scale):
        if lines:
            ink = "amber" if ch.isdigit() else "white"
            canvas.cover(stroke_coverage(lines, STROKE * scale / 2), "back", ink)

    # The tag line, right-aligned on the title's baseline.
    tag = "mailbox reports"
    draw_pixel_text(canvas, tag, width - 10 - pixel_text_width(tag), 38, "muted")
    return canvas


def draw_badge():
    pal = Palette()
    pal.add("clear", (255, 255, 255))  # transparent outside the rounded corners
    pal.add("fill", (238, 241, 244))
    pal.add("edge", (140, 154, 171))
    pal.add("ink", (52, 73, 94))
    width, height = 85, 20
    canvas = Canvas(width, height, pal, "clear")

    # Rounded rectangle: one-pixel edge, corner radius 4.
    radius = 4.0

    def inside(px, py, inset):
        cx = min(max(px, radius), width - radius)
        cy = min(max(py, radius), height - radius)
        return (px - cx) ** 2 + (py - cy) ** 2 <= (radius - inset) ** 2 + 0.5

    for y in range(height):
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            if inside(px, py, 0):
                inner = (1 <= x < width - 1 and 1 <= y < height - 1 and inside(px, py, 1))
                canvas.set(x, y, "fill" if inner else "edge")

    # Envelope and text, centred together.
    text = "mail system"
    gap = 4
    content = len(ENVELOPE[0]) + gap + pixel_text_width(text)
    x = (width - content) // 2
    draw_bitmap(canvas, ENVELOPE, x, 6, "ink")
    draw_pixel_text(canvas, text, x + len(ENVELOPE[0]) + gap, 6, "ink")
    return canvas, pal["clear"]


# ---------------------------------------------------------------------------------------
# GIF encoding
# ---------------------------------------------------------------------------------------

MAX_CODES = 4096  # codes are at most 12 bits wide


def _table_bits(colour_count):
    bits = 1
    while (1 << bits) < colour_count:
        bits += 1
    return bits


class _BitWriter:
    """Packs codes least significant bit first, as GIF expects."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.nbits = 0

    def write(self, code, width):
        self.acc |= code << self.nbits
        self.nbits += width
        while self.nbits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.nbits -= 8

    def finish(self):
        if self.nbits:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


def lzw_encode(pixels, min_code_size):
    clear = 1 << min_code_size
    end = clear + 1
    writer = _BitWriter()
    width = min_code_size + 1
    writer.write(clear, width)
    if not pixels:
        writer.write(end, width)
        return writer.finish()

    table = {}
    next_code = end + 1
    prefix = pixels[0]
    for value in pixels[1:]:
        key = (prefix, value)
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        writer.write(prefix, width)
        prefix = value
        table[key] = next_code
        next_code += 1
        # The decoder learns each entry one code later than we make it, so it widens its
        # codes once the table holds 2^width entries and the next code would not fit.
        if next_code > (1 << width) and width < 12:
            width += 1
        if next_code == MAX_CODES:
            # Table full: start over rather than keep coding with a frozen table.
            writer.write(clear, width)
            table = {}
            next_code = end + 1
            width = min_code_size + 1
    writer.write(prefix, width)
    # The decoder adds one more entry on reading that last code, which may widen the
    # code that carries the end marker.
    if next_code == (1 << width) and width < 12:
        width += 1
    writer.write(end, width)
    return writer.finish()


def _sub_blocks(data):
    out = bytearray()
    for at in range(0, len(data), 255):
        chunk = data[at:at + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def encode_gif(width, height, colours, pixels, transparent=None):
    if not (1 <= width <= 0xFFFF and 1 <= height <= 0xFFFF):
        raise ValueError("image size out of range")
    if len(pixels) != width * height:
        raise ValueError("pixel count does not match the image size")
    if not 1 <= len(colours) <= 256:
        raise ValueError("a GIF palette holds 1 to 256 colours")
    if any(p >= len(colours) for p in pixels):
        raise ValueError("pixel refers to a colour outside the palette")

    bits = _table_bits(len(colours))
    out = bytearray(b"GIF89a")
    out += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes([0x80 | (7 << 4) | (bits - 1), 0, 0])
    for k in range(1 << bits):
        out += bytes(colours[k] if k < len(colours) else (0, 0, 0))
    if transparent is not None:
        out += bytes([0x21, 0xF9, 4, 0x01, 0, 0, transparent, 0])
    out += bytes([0x2C]) + (0).to_bytes(2, "little") * 2
    out += width.to_bytes(2, "little") + height.to_bytes(2, "little") + bytes([0])
    min_code_size = max(2, bits)
    out.append(min_code_size)
    out += _sub_blocks(lzw_encode(bytes(pixels), min_code_size))
    out.append(0x3B)
    return bytes(out)


# ---------------------------------------------------------------------------------------
# GIF decoding, for --check
# ---------------------------------------------------------------------------------------


class GifError(Exception):
    pass


def lzw_decode(data, min_code_size, pixel_count):
    clear = 1 << min_code_size
    end = clear + 1
    pos = 0
    acc = 0
    nbits = 0
    width = min_code_size + 1
    prev = None
    out = bytearray()

    def reset():
        return [bytes([k]) for k in range(clear)] + [b"", b""]

    table = reset()
    while True:
        while nbits < width:
            if pos >= len(data):
                raise GifError("pixel data ends without an end code")
            acc |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        nbits -= width
        if code == clear:
            table = reset()
            width = min_code_size + 1
            prev = None
            continue
        if code == end:
            break
        if prev is None:
            if code >= clear:
                raise GifError("first code after a clear is not a colour")
            entry = table[code]
        else:
            if code < len(table):
                entry = table[code]
            elif code == len(table):
                entry = prev + prev[:1]
            else:
                raise GifError("code %d is not in the table" % code)
            if len(table) < MAX_CODES:
                table.append(prev + entry[:1])
                if len(table) == (1 << width) and width < 12:
                    width += 1
        out += entry
        prev = entry
    if len(out) != pixel_count:
        raise GifError("decoded %d pixels, expected %d" % (len(out), pixel_count))
    if any(data[pos:]):
        raise GifError("stray data after the end code")
    return bytes(out)


def decode_gif(blob):
    """Returns (width, height, colours, pixels, transparent index or None) of a
    single-image GIF89a without local colour table or interlacing."""
    if blob[:6] != b"GIF89a":
        raise GifError("not a GIF89a file")
    if len(blob) < 13:
        raise GifError("truncated header")
    width = int.from_bytes(blob[6:8], "little")
    height = int.from_bytes(blob[8:10], "little")
    packed = blob[10]
    pos = 13
    colours = []
    if packed & 0x80:
        count = 2 << (packed & 7)
        table = blob[pos:pos + 3 * count]
        if len(table) != 3 * count:
            raise GifError("truncated colour table")
        colours = [tuple(table[k:k + 3]) for k in range(0, len(table), 3)]
        pos += 3 * count
    transparent = None
    pixels = None

    def read_sub_blocks(pos):
        data = bytearray()
        while True:
            if pos >= len(blob):
                raise GifError("truncated data sub-blocks")
            size = blob[pos]
            pos += 1
            if size == 0:
                return bytes(data), pos
            if pos + size > len(blob):
                raise GifError("truncated data sub-block")
            data += blob[pos:pos + size]
            pos += size

    while True:
        if pos >= len(blob):
            raise GifError("file ends without a trailer")
        kind = blob[pos]
        pos += 1
        if kind == 0x3B:
            break
        if kind == 0x21:
            label = blob[pos]
            data, pos = read_sub_blocks(pos + 1)
            if label == 0xF9 and len(data) == 4 and data[0] & 1:
                transparent = data[3]
        elif kind == 0x2C:
            if pixels is not None:
                raise GifError("more than one image")
            left, top, w, h, flags = (int.from_bytes(blob[pos:pos + 2], "little"),
                                      int.from_bytes(blob[pos + 2:pos + 4], "little"),
                                      int.from_bytes(blob[pos + 4:pos + 6], "little"),
                                      int.from_bytes(blob[pos + 6:pos + 8], "little"),
                                      blob[pos + 8])
            pos += 9
            if (left, top, w, h) != (0, 0, width, height):
                raise GifError("image does not fill the logical screen")
            if flags & 0xC0:
                raise GifError("local colour table or interlacing not expected")
            min_code_size = blob[pos]
            if not 2 <= min_code_size <= 8:
                raise GifError("bad LZW minimum code size")
            data, pos = read_sub_blocks(pos + 1)
            pixels = lzw_decode(data, min_code_size, width * height)
        else:
            raise GifError("unknown block 0x%02X" % kind)
    if pos != len(blob):
        raise GifError("data after the trailer")
    if pixels is None:
        raise GifError("no image")
    return width, height, colours, pixels, transparent


# ---------------------------------------------------------------------------------------
# Driver
# ---------------------------------------------------------------------------------------


def build_images():
    """Returns {file name: (canvas, transparent index or None, GIF bytes)}."""
    banner = draw_banner()
    badge, clear = draw_badge()
    images = {}
    for name, canvas, transparent in (("banner.gif", banner, None), ("badge.gif", badge, clear)):
        blob = encode_gif(canvas.width, canvas.height, canvas.palette.colours,
                          canvas.pixels, transparent)
        images[name] = (canvas, transparent, blob)
    return images


def _round_trip_cases():
    """Synthetic images that exercise the encoder's edge cases."""
    state = 12345

    def noise(n, colours):
        nonlocal state
        out = bytearray()
        for _ in range(n):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            out.append((state >> 16) % colours)
        return out

    grey = [(k * 17, k * 17, k * 17) for k in range(16)]
    return [
        ("single pixel", 1, 1, [(0, 0, 0)], bytearray([0])),
        ("two colours", 7, 3, [(0, 0, 0), (255, 255, 255)], bytearray([0, 1, 1] * 7)),
        ("one long run", 300, 200, [(0, 0, 0), (9, 9, 9)], bytearray(60000)),
        ("noise, table fills", 300, 200, grey, noise(60000, 16)),
        ("noise, 256 colours", 120, 100, [(k, k, k) for k in range(256)], noise(12000, 256)),
    ]


def check(directory, images):
    problems = []
    for label, w, h, colours, pixels in _round_trip_cases():
        try:
            got = decode_gif(encode_gif(w, h, colours, pixels))
            padded = colours + [(0, 0, 0)] * ((1 << _table_bits(len(colours))) - len(colours))
            if got[:4] != (w, h, padded, bytes(pixels)):
                problems.append("round trip '%s' decodes differently" % label)
        except GifError as err:
            problems.append("round trip '%s': %s" % (label, err))

    for name, (canvas, transparent, blob) in images.items():
        path = os.path.join(directory, name)
        try:
            with open(path, "rb") as f:
                stored = f.read()
        except OSError as err:
            problems.append("%s: %s" % (name, err))
            continue
        try:
            w, h, colours, pixels, trans = decode_gif(stored)
        except GifError as err:
            problems.append("%s: %s" % (name, err))
            continue
        if (w, h) != (canvas.width, canvas.height):
            problems.append("%s: %d x %d, expected %d x %d" % (name, w, h, canvas.width, canvas.height))
        if colours[:len(canvas.palette.colours)] != canvas.palette.colours:
            problems.append("%s: palette differs from the drawing" % name)
        if pixels != bytes(canvas.pixels):
            problems.append("%s: pixels differ from the drawing" % name)
        if trans != transparent:
            problems.append("%s: transparent colour %s, expected %s" % (name, trans, transparent))
        if stored != blob:
            problems.append("%s: differs from what this script writes now; regenerate it" % name)
        else:
            print("%s: %d x %d, %d colours, %d bytes, decodes to the drawing"
                  % (name, w, h, len(canvas.palette.colours), len(stored)))
    for p in problems:
        print("error: " + p, file=sys.stderr)
    return not problems


def main(argv):
    parser = argparse.ArgumentParser(description="Draw the web report's GIF images.")
    parser.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)),
                        help="directory of banner.gif and badge.gif (default: next to this script)")
    parser.add_argument("--check", action="store_true",
                        help="verify the files instead of writing them")
    args = parser.parse_args(argv)

    images = build_images()
    if args.check:
        return 0 if check(args.out, images) else 1
    for name, (_, _, blob) in images.items():
        path = os.path.join(args.out, name)
        with open(path + ".tmp", "wb") as f:
            f.write(blob)
        os.replace(path + ".tmp", path)
        print("wrote %s (%d bytes)" % (path, len(blob)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
