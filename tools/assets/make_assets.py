#!/usr/bin/python3
"""Draws Ostrael's window assets and writes them under src/ui/assets.

  close.gif message.gif info.gif open.gif   the four picture buttons at 48 px
  close-60.gif ... open-144.gif             the same at 60, 72, 96 and 144 px, for scaled screens
  close-coverage.gif ...                    each picture's coverage at each size, for other backgrounds
  hand.cur                                  the hand cursor over the picture buttons, seven sizes
  ostrael.ico                               the window icon, nine images

and the contact sheet docs/assets.png.  Everything is drawn here; Pillow only
rasterises shapes.  The file formats are written by hand below, so palette
sizes, the transparent entry and the image order stay under our control, and
running the script twice gives the same bytes.

Usage: tools/assets/make_assets.py [repository root]
"""

import functools
import math
import struct
import sys
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFilter

SS = 8                       # supersampling factor for antialiasing
MATTE = (0xF0, 0xF0, 0xF0)   # the light grey the button edges are smoothed against
ALPHA_CUT = 64               # coverage below this (of 255) becomes the transparent entry
COVERAGE_BITS = 6            # the coverage kept beside each picture: 64 levels, 4 apart, from 0 to 255
COVERAGE_LEVELS = [round(255 * i / ((1 << COVERAGE_BITS) - 1)) for i in range(1 << COVERAGE_BITS)]


# ---------------------------------------------------------------- geometry

class Axis:
    """A local frame along a tool or pencil: u runs from `start` towards `end`, v across it."""

    def __init__(self, start, end):
        self.x0, self.y0 = start
        dx, dy = end[0] - start[0], end[1] - start[1]
        self.length = math.hypot(dx, dy)
        self.ux, self.uy = dx / self.length, dy / self.length

    def to_xy(self, u, v):
        return (self.x0 + u * self.ux - v * self.uy, self.y0 + u * self.uy + v * self.ux)

    def to_uv(self, x, y):
        dx, dy = x - self.x0, y - self.y0
        return (dx * self.ux + dy * self.uy, -dx * self.uy + dy * self.ux)

    def poly(self, uv_points):
        return [self.to_xy(u, v) for u, v in uv_points]


def circle_points(cx, cy, r, a0=0.0, a1=360.0, steps=64):
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]


# ---------------------------------------------------------------- masks at ss times the size

class Canvas:
    """A picture `size` pixels wide, drawn `ss` times larger and reduced at the end.

    Shapes are given in design units, `design` of them across the picture, so one drawing serves
    every size: a unit is ss * size / design supersampled pixels, kept a whole number so that a
    shape on whole design coordinates has its edges on whole supersampled pixels at every size.
    """

    def __init__(self, size, background, design=None, ss=SS):
        design = design or size
        self.size, self.ss = size, ss
        self.unit, rest = divmod(ss * size, design)
        assert rest == 0, f"{size} px at {ss}x supersampling is no whole number of pixels per unit"
        self.rgb = Image.new("RGB", (size * ss, size * ss), background)
        self.alpha = Image.new("L", (size * ss, size * ss), 0)

    def mask(self):
        return Image.new("L", self.rgb.size, 0)

    def polygon(self, points):
        u = self.unit
        m = self.mask()
        ImageDraw.Draw(m).polygon([(x * u, y * u) for x, y in points], fill=255)
        return m

    def ellipse(self, cx, cy, rx, ry=None):
        u = self.unit
        ry = rx if ry is None else ry
        m = self.mask()
        ImageDraw.Draw(m).ellipse([(cx - rx) * u, (cy - ry) * u, (cx + rx) * u - 1, (cy + ry) * u - 1], fill=255)
        return m

    def rrect(self, x0, y0, x1, y1, r):
        u = self.unit
        m = self.mask()
        ImageDraw.Draw(m).rounded_rectangle([x0 * u, y0 * u, x1 * u - 1, y1 * u - 1], radius=r * u, fill=255)
        return m

    def capsule(self, p0, p1, width):
        ax = Axis(p0, p1)
        h = width / 2
        m = self.polygon(ax.poly([(0, -h), (ax.length, -h), (ax.length, h), (0, h)]))
        return union(m, self.ellipse(p0[0], p0[1], h), self.ellipse(p1[0], p1[1], h))

    def arc(self, cx, cy, r, width, a0, a1):
        """A stroke along a circle from angle a0 to a1 (degrees, clockwise from 3 o'clock), round ends."""
        h = width / 2
        outer = circle_points(cx, cy, r + h, a0, a1)
        inner = circle_points(cx, cy, r - h, a0, a1)
        m = self.polygon(outer + inner[::-1])
        ends = [circle_points(cx, cy, r, a, a, 1)[0] for a in (a0, a1)]
        return union(m, *[self.ellipse(x, y, h) for x, y in ends])

    def dilate(self, mask, width):
        """The mask grown by `width` design units on every side (square corners)."""
        # A max filter costs its area for each pixel; passes of the 3 x 3 one grow the mask by the
        # same square, pixel for pixel, in a fraction of the time.
        for _ in range(round(width * self.unit)):
            mask = mask.filter(ImageFilter.MaxFilter(3))
        return mask

    def scaled(self, mask, fn):
        """The mask weakened by fn(x, y) in 0..1, for highlights."""
        return self.each_covered(Image.new("L", mask.size, 0), mask,
                                 lambda m, x, y: round(m * max(0.0, min(1.0, fn(x, y)))))

    def each_covered(self, img, mask, value):
        """img with value(coverage, x, y) at each pixel the mask covers, x and y in design units."""
        box = mask.getbbox()
        if box:
            px, mk, u = img.load(), mask.load(), self.unit
            for y in range(box[1], box[3]):
                fy = (y + 0.5) / u
                for x in range(box[0], box[2]):
                    if mk[x, y]:
                        px[x, y] = value(mk[x, y], (x + 0.5) / u, fy)
        return img

    # painting

    def paint(self, colour, mask):
        """Paints a solid colour, or a fill function f(x, y) -> rgb in design units, through mask."""
        if callable(colour):
            colour = self.fill(colour, mask)
        self.rgb.paste(colour, (0, 0), mask)
        self.alpha = ImageChops.lighter(self.alpha, mask)

    def paint_outlined(self, fill, mask, outline, width=1.0):
        self.paint(outline, self.dilate(mask, width))
        self.paint(fill, mask)

    def fill(self, fn, mask):
        return self.each_covered(Image.new("RGB", self.rgb.size), mask, lambda m, x, y: fn(x, y))

    def downsample(self):
        """The picture at its real size: colours averaged over each pixel, and the coverage."""
        return self.rgb.reduce(self.ss), self.alpha.reduce(self.ss)


def union(*masks):
    out = masks[0]
    for m in masks[1:]:
        out = ImageChops.lighter(out, m)
    return out


def subtract(a, b):
    return ImageChops.subtract(a, b)


# ---------------------------------------------------------------- colours

@functools.lru_cache(maxsize=None)   # the fills ask for the same few colours millions of times
def hexrgb(s):
    return (int(s[1:3], 16), int(s[3:5], 16), int(s[5:7], 16))


def ramp(t, stops):
    """Colour at t along [(t0, '#rrggbb'), ...]."""
    t = max(stops[0][0], min(stops[-1][0], t))
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            f = 0.0 if t1 == t0 else (t - t0) / (t1 - t0)
            a, b = hexrgb(c0), hexrgb(c1)
            return tuple(round(a[i] + (b[i] - a[i]) * f) for i in range(3))
    return hexrgb(stops[-1][1])


# ---------------------------------------------------------------- the four buttons

# The sizes each button is drawn at: 100 % of the window's 48 px, then 125, 150, 200 and 300 %.
# With each size its supersampling factor: 8 at 48 px as always, fewer where the picture is
# larger (still at least 3 samples a side), which keeps the run short.
BUTTON_SIZES = {48: 8, 60: 8, 72: 6, 96: 4, 144: 3}


def button_canvas(size):
    return Canvas(size, MATTE, design=48, ss=BUTTON_SIZES[size])


def draw_close(size):
    cv = button_canvas(size)
    body = cv.rrect(3, 3, 45, 45, 9)
    cv.paint_outlined(lambda x, y: ramp((y - 3) / 42, [(0, "#FF7262"), (0.45, "#E0281C"), (1, "#8A0A06")]),
                      body, hexrgb("#5E0806"))
    gloss = ImageChops.multiply(body, cv.ellipse(24, 8, 22, 13))
    cv.paint((255, 255, 255), cv.scaled(gloss, lambda x, y: 0.65 - 0.6 * (y - 3) / 18))
    cx, cy, r, w = 24, 26, 11, 3.8
    symbol = union(cv.arc(cx, cy, r, w, 305, 595), cv.capsule((cx, 9.5), (cx, 25), w))
    cv.paint(hexrgb("#7A0C08"), cv.dilate(symbol, 0.7))
    cv.paint((255, 255, 255), symbol)
    return cv


def draw_message(size):
    cv = button_canvas(size)
    sheet = cv.polygon([(8, 3), (28, 3), (38, 13), (38, 45), (8, 45)])
    cv.paint_outlined(lambda x, y: ramp((y - 3) / 42, [(0, "#FFFFFF"), (1, "#E4E8EE")]), sheet, hexrgb("#66707C"))
    ink = hexrgb("#7F9CC8")
    for y, x1 in [(10, 24), (15, 33), (20, 33), (25, 33), (30, 33), (35, 33), (40, 26)]:
        cv.paint(ink, cv.rrect(12, y, x1, y + 1.5, 0.5))
    fold = cv.polygon([(28, 3), (28, 13), (38, 13)])
    cv.paint_outlined(lambda x, y: ramp((x - 28) / 10, [(0, "#C8CED6"), (1, "#F4F6F8")]), fold, hexrgb("#66707C"))

    ax = Axis((10, 41), (45, 9))   # from the point up to the eraser
    h = 4.2
    body_u, ferrule_u, eraser_u, end_u = 10.5, ax.length - 9, ax.length - 5, ax.length
    outline = ax.poly([(0, 0), (body_u, -h), (end_u - 1.5, -h), (end_u, -h + 1.5),
                       (end_u, h - 1.5), (end_u - 1.5, h), (body_u, h)])
    pencil = cv.polygon(outline)

    def pencil_colour(x, y):
        u, v = ax.to_uv(x, y)
        side = v / h  # -1 .. 1 across the pencil, light falls on the negative side
        if u < 3.6:
            return hexrgb("#2C2C30")
        if u < body_u:
            return ramp(side, [(-1, "#FBE2B8"), (1, "#C89A5E")])
        if u < ferrule_u:
            return ramp(side, [(-1, "#FFEE80"), (-0.33, "#FFE040"), (-0.32, "#F4C020"),
                               (0.33, "#F0B418"), (0.34, "#C88A08"), (1, "#A86E00")])
        if u < eraser_u:
            band = (u - ferrule_u) % 1.3 < 0.45
            return ramp(side, [(-1, "#F4F4F4"), (1, "#8C9098")]) if not band else hexrgb("#7C8088")
        return ramp(side, [(-1, "#FFB4B4"), (1, "#D85C68")])

    cv.paint_outlined(pencil_colour, pencil, hexrgb("#4A3410"))
    return cv


def draw_info(size):
    cv = button_canvas(size)
    steel = [(-1, "#FFFFFF"), (-0.3, "#D8DDE3"), (0.5, "#9CA4AE"), (1, "#6A727C")]

    # the wrench, lower left to upper right, its open end at the top
    wr = Axis((8, 41), (35.5, 12.5))
    head_r = 8.6
    handle = cv.capsule(wr.to_xy(0, 0), wr.to_xy(wr.length - 4, 0), 6.6)
    head = cv.ellipse(*wr.to_xy(wr.length, 0), head_r)
    jaw = cv.polygon(wr.poly([(wr.length - 1.5, -2.9), (wr.length + 12, -3.6),
                              (wr.length + 12, 3.6), (wr.length - 1.5, 2.9)]))
    hole = cv.ellipse(*wr.to_xy(3, 0), 1.6)
    wrench = subtract(union(handle, head), union(jaw, hole))

    def wrench_colour(x, y):
        u, v = wr.to_uv(x, y)
        span = head_r if u > wr.length - 6 else 3.3
        return ramp(v / span, steel)

    cv.paint_outlined(wrench_colour, wrench, hexrgb("#3A4048"))

    # the screwdriver across it, handle at the lower right, blade to the upper left
    sd = Axis((42, 42), (7.5, 7.5))
    grip_u, shaft_u = 16, sd.length - 3.4
    grip = cv.polygon(sd.poly([(0.5, -3.6), (grip_u - 2, -4.9), (grip_u, -3.4),
                               (grip_u, 3.4), (grip_u - 2, 4.9), (0.5, 3.6)]))
    grip = union(grip, cv.ellipse(*sd.to_xy(1.6, 0), 3.6))
    shaft = cv.polygon(sd.poly([(grip_u - 1, -1.6), (shaft_u, -1.6), (sd.length, -1.0),
                                (sd.length, 1.0), (shaft_u, 1.6), (grip_u - 1, 1.6)]))
    cv.paint_outlined(lambda x, y: ramp(sd.to_uv(x, y)[1] / 1.6, steel), shaft, hexrgb("#3A4048"))

    def grip_colour(x, y):
        u, v = sd.to_uv(x, y)
        c = ramp(v / 4.9, [(-1, "#FFF4A0"), (-0.4, "#FFD820"), (0.5, "#E8A800"), (1, "#A87000")])
        if 3 < u < grip_u - 3 and abs(v) < 3.2 and abs(v) % 2.2 < 0.6:
            c = tuple(round(k * 0.78) for k in c)   # grooves along the grip
        return c

    cv.paint_outlined(grip_colour, grip, hexrgb("#5C4000"))
    return cv


def draw_open(size):
    cv = button_canvas(size)
    top = cv.polygon([(8, 22), (40, 22), (44.5, 28), (3.5, 28)])
    front = cv.rrect(3.5, 27, 44.5, 45, 3)
    edge = hexrgb("#34425A")
    cv.paint(edge, cv.dilate(union(top, front), 1))
    cv.paint(lambda x, y: ramp((y - 22) / 6, [(0, "#D6DFEA"), (1, "#B4C2D4")]), top)
    cv.paint(lambda x, y: ramp((y - 27) / 18, [(0, "#A2B3C8"), (0.5, "#8497B0"), (1, "#5E7090")]), front)
    cv.paint(hexrgb("#C4D0DE"), cv.rrect(4.5, 27.5, 43.5, 28.5, 0.5))           # the lit front edge
    cv.paint(hexrgb("#56667E"), cv.rrect(7, 36, 41, 37, 0.4))                   # the seam
    cv.paint(hexrgb("#B0BECE"), cv.rrect(7, 37, 41, 37.8, 0.4))
    cv.paint(hexrgb("#1C4A1C"), cv.ellipse(37.5, 41, 1.9))                      # the light
    cv.paint(hexrgb("#4CF04C"), cv.ellipse(37.5, 41, 1.3))
    cv.paint(hexrgb("#1E2632"), cv.rrect(13, 23.6, 35, 26.2, 1.2))              # the slot

    arrow = cv.polygon([(18.5, 1.5), (29.5, 1.5), (29.5, 13), (38, 13), (24, 27), (10, 13), (18.5, 13)])
    cv.paint(hexrgb("#F4F6F8"), cv.dilate(arrow, 1.6))   # a light rim keeps the arrow apart from the box
    cv.paint_outlined(lambda x, y: ramp((x - 10) / 28, [(0, "#3C5C8C"), (0.5, "#243C66"), (1, "#142440")]),
                      arrow, hexrgb("#0A1220"))
    return cv


# ---------------------------------------------------------------- palettes

def median_cut(counts, n):
    """Up to n colours for a {rgb: count} histogram, splitting the widest box at its weighted median."""
    if len(counts) <= n:
        return sorted(counts)

    def extent(box):   # the box's spread per channel, and what ranks it for the next split
        ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
        return ranges, (max(ranges), sum(w for _, w in box)) if len(box) >= 2 else None

    boxes = [sorted(counts.items())]
    extents = [extent(boxes[0])]   # kept beside the boxes: measuring them all for each split is slow
    while len(boxes) < n:
        best, best_key = None, None
        for i, (_, key) in enumerate(extents):
            if key is not None and (best_key is None or key > best_key):
                best, best_key = i, key
        if best is None:
            break
        box = boxes.pop(best)
        ranges, _ = extents.pop(best)
        ch = ranges.index(max(ranges))
        box.sort(key=lambda cw: (cw[0][ch], cw[0]))
        total, run, cut = sum(w for _, w in box), 0, 1
        for j, (_, w) in enumerate(box[:-1]):
            run += w
            cut = j + 1
            if run * 2 >= total:
                break
        boxes[best:best] = [box[:cut], box[cut:]]
        extents[best:best] = [extent(box[:cut]), extent(box[cut:])]
    palette = []
    for box in boxes:
        total = sum(w for _, w in box)
        palette.append(tuple((sum(c[k] * w for c, w in box) + total // 2) // total for k in range(3)))
    return sorted(set(palette))


def nearest(palette, c, cache):
    if c not in cache:
        cache[c] = min(range(len(palette)),
                       key=lambda i: (2 * (palette[i][0] - c[0]) ** 2 + 4 * (palette[i][1] - c[1]) ** 2
                                      + 3 * (palette[i][2] - c[2]) ** 2, i))
    return cache[c]


def to_indexed(pixels, opaque, colours):
    """Indices into a palette of `colours` entries whose entry 0 is the transparent one."""
    counts = {}
    for c, o in zip(pixels, opaque):
        if o:
            counts[c] = counts.get(c, 0) + 1
    palette = [MATTE] + median_cut(counts, colours - 1)
    cache = {}
    indices = [1 + nearest(palette[1:], c, cache) if o else 0 for c, o in zip(pixels, opaque)]
    palette += [(0, 0, 0)] * (colours - len(palette))
    return palette, indices


# ---------------------------------------------------------------- GIF89a

def lzw_codes(indices, min_size):
    """The GIF code stream as (code, width) pairs."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out = [(clear, min_size + 1)]
    width, nxt, table = min_size + 1, eoi + 1, {}
    prefix = indices[0]
    for k in indices[1:]:
        if (prefix, k) in table:
            prefix = table[(prefix, k)]
            continue
        out.append((prefix, width))
        if nxt == 4096:                       # table full: start over
            out.append((clear, width))
            width, nxt, table = min_size + 1, eoi + 1, {}
        else:
            if nxt == 1 << width and width < 12:
                width += 1
            table[(prefix, k)] = nxt
            nxt += 1
        prefix = k
    out.append((prefix, width))
    if nxt == 1 << width and width < 12:      # the reader adds one more entry before the end code
        width += 1
    out.append((eoi, width))
    return out


def pack_bits(codes):
    data, acc, n = bytearray(), 0, 0
    for code, width in codes:
        acc |= code << n
        n += width
        while n >= 8:
            data.append(acc & 0xFF)
            acc >>= 8
            n -= 8
    if n:
        data.append(acc & 0xFF)
    return bytes(data)


def gif_bytes(size, palette, indices, transparent):
    """A one-frame GIF89a; `transparent` is the transparent entry, or None for none."""
    bits = len(palette).bit_length() - 1
    assert 1 << bits == len(palette) and len(indices) == size * size
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", size, size, 0x80 | (bits - 1) << 4 | (bits - 1), transparent or 0, 0)
    for c in palette:
        out += bytes(c)
    if transparent is not None:
        # Graphic Control Extension: no disposal, no delay, one transparent entry
        out += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x01, 0, transparent, 0)
    out += struct.pack("<BHHHHB", 0x2C, 0, 0, size, size, 0)
    min_size = max(2, bits)
    out.append(min_size)
    data = pack_bits(lzw_codes(indices, min_size))
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3B"
    return bytes(out)


# Each button with its palette size: the message's soft colours need no more than 128.
BUTTONS = [("close", draw_close, 256), ("message", draw_message, 128), ("info", draw_info, 256),
           ("open", draw_open, 256)]


def button_file(name, size):
    """close.gif at the window's own 48 px, close-96.gif and so on at the larger sizes."""
    return f"{name}.gif" if size == 48 else f"{name}-{size}.gif"


def coverage_file(name, size):
    """close-coverage.gif beside close.gif, close-96-coverage.gif beside close-96.gif."""
    return button_file(name, size)[:-len(".gif")] + "-coverage.gif"


def matte_part(coverage):
    """What the matte adds to each channel of a pixel of this coverage, rounded as the programs round it."""
    return ((255 - coverage) * MATTE[0] + 127) // 255


def stored_coverage(colour, coverage):
    """The level kept for a pixel of the quantised `colour`: the first at least the drawn coverage
    at which taking the matte off leaves a valid premultiplied colour (no channel below 0 or above
    the coverage), which the palette's rounding can otherwise break at the edges."""
    for level, a in enumerate(COVERAGE_LEVELS):
        if a >= coverage and all(matte_part(a) <= c <= a + matte_part(a) for c in colour):
            return level
    return len(COVERAGE_LEVELS) - 1


def button_gifs(canvas, colours):
    """The picture matted on the grey, and its coverage as a picture of grey levels: 0 where the
    picture is transparent, so that on the grey both together show the picture as it was."""
    assert MATTE == (MATTE[0],) * 3
    rgb, alpha = canvas.downsample()
    opaque = [a >= ALPHA_CUT for a in alpha.getdata()]
    palette, indices = to_indexed(list(rgb.getdata()), opaque, colours)
    coverage = [stored_coverage(palette[i], a) if i else 0 for i, a in zip(indices, alpha.getdata())]
    greys = [(g, g, g) for g in COVERAGE_LEVELS]
    return gif_bytes(canvas.size, palette, indices, 0), gif_bytes(canvas.size, greys, coverage, None)


# ---------------------------------------------------------------- the window icon

# Corners of the slanted window as fractions of the icon's size: the right edge recedes.
ICON_QUAD = [(0.03, 0.07), (0.97, 0.17), (0.97, 0.83), (0.03, 0.93)]  # TL TR BR BL

# Colours for the images with 256 colours or alpha, and for the 16-colour ones (the standard set).
ICON_RICH = {"frame": "#1C4AA8", "title0": "#F2F6FC", "title1": "#C6D6EE", "close": "#E02A1C",
             "client": "#FFFFFF"}
ICON_VGA = {"frame": "#000080", "title0": "#C0C0C0", "title1": "#C0C0C0", "close": "#FF0000",
            "client": "#FFFFFF"}

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def draw_window(size, colours):
    (tlx, tly), (trx, try_), (brx, bry), (blx, bly) = [(x * size, y * size) for x, y in ICON_QUAD]

    def at(u, v):   # bilinear: rectangles in (u, v) stay four-sided with straight edges
        top = (tlx + (trx - tlx) * u, tly + (try_ - tly) * u)
        bottom = (blx + (brx - blx) * u, bly + (bry - bly) * u)
        return (top[0] + (bottom[0] - top[0]) * v, top[1] + (bottom[1] - top[1]) * v)

    def quad(u0, v0, u1, v1):
        return [at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)]

    frame = hexrgb(colours["frame"])
    cv = Canvas(size, frame)    # partly covered pixels at the rim keep the frame's own colour
    border = {16: 1.0, 32: 2.0, 48: 2.6}[size]
    bu, bv = border / (trx - tlx), border / (bly - tly)
    title_v = {16: 0.30, 32: 0.25, 48: 0.23}[size]
    cv.paint(frame, cv.polygon(quad(0, 0, 1, 1)))
    cv.paint(lambda x, y: ramp((y - tly) / ((bly - tly) * title_v), [(0, colours["title0"]), (1, colours["title1"])]),
             cv.polygon(quad(bu, bv, 1 - bu, title_v)))
    cv.paint(hexrgb(colours["client"]), cv.polygon(quad(bu, title_v + bv, 1 - bu, 1 - bv)))
    gap = {16: 0.0, 32: 0.6, 48: 1.0}[size]
    cu0 = 1 - bu - (title_v - bv) * (bly - tly) / (trx - tlx) * 1.25
    close = quad(cu0, bv + gap / (bly - tly), 1 - bu - gap / (trx - tlx), title_v - gap / (bly - tly))
    cv.paint(hexrgb(colours["close"]), cv.polygon(close))
    return cv


def icon_pixels(size, bpp):
    """The pixels as (r, g, b, a), top row first; a is 0 or 255 below 32 bpp."""
    if bpp == 4:
        # Each pixel takes the colour covering most of it, so 16 colours give crisp edges.
        cv = draw_window(size, ICON_VGA)
        rgb, alpha = cv.rgb.load(), cv.alpha.load()
        out, cache = [], {}
        for y in range(size):
            for x in range(size):
                votes, inside = {}, 0
                for sy in range(y * cv.ss, y * cv.ss + cv.ss):
                    for sx in range(x * cv.ss, x * cv.ss + cv.ss):
                        if alpha[sx, sy] >= 128:
                            inside += 1
                            c = rgb[sx, sy]
                            votes[c] = votes.get(c, 0) + 1
                if inside * 2 < cv.ss * cv.ss:
                    out.append((0, 0, 0, 0))
                else:
                    c = max(sorted(votes), key=lambda k: votes[k])
                    out.append(VGA16[nearest(VGA16, c, cache)] + (255,))
        return out
    rgb, alpha = draw_window(size, ICON_RICH).downsample()
    if bpp == 32:
        return [c + (a,) for c, a in zip(rgb.getdata(), alpha.getdata())]
    return [c + (255,) if a >= 128 else (0, 0, 0, 0) for c, a in zip(rgb.getdata(), alpha.getdata())]


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def and_mask(size, transparent):
    """The 1 bpp mask, bottom row first: set bits let the screen show through."""
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes(size))
        for x in range(size):
            if transparent[y * size + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def dib(size, bpp, palette, index_or_bgra, transparent):
    """A BITMAPINFOHEADER image as stored in .ico and .cur files: colour bits, then the mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0,
                         (row_bytes(size * bpp) + row_bytes(size)) * size, 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    xor = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes(size * bpp))
        for x in range(size):
            v = index_or_bgra[y * size + x]
            if bpp == 32:
                row[x * 4:x * 4 + 4] = v
            elif bpp == 8:
                row[x] = v
            else:
                shift = 8 - bpp - (x * bpp) % 8
                row[x * bpp // 8] |= v << shift
        xor += row
    return header + colours + bytes(xor) + and_mask(size, transparent)


ICON_IMAGES = [(16, 4), (16, 8), (32, 4), (32, 8), (48, 4), (48, 8), (16, 32), (32, 32), (48, 32)]


def icon_image(size, bpp):
    px = icon_pixels(size, bpp)
    transparent = [a == 0 for *_, a in px]
    if bpp == 32:
        return dib(size, 32, [], [bytes((b, g, r, a)) for r, g, b, a in px], transparent)
    if bpp == 4:
        palette = VGA16
        idx = [0 if t else VGA16.index(tuple(p[:3])) for p, t in zip(px, transparent)]
    else:
        palette, idx = to_indexed([tuple(p[:3]) for p in px], [not t for t in transparent], 256)
        palette = [(0, 0, 0)] + palette[1:]       # entry 0 lies under the mask; keep it black
    return dib(size, bpp, palette, idx, transparent)


def ico_bytes(kind, entries):
    """kind 1: icon, entries (size, bpp, data); kind 2: cursor, entries (size, hotspot, data)."""
    out = bytearray(struct.pack("<HHH", 0, kind, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, extra, data in entries:
        if kind == 1:
            colour_count = 1 << extra if extra < 8 else 0
            out += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0, 1, extra, len(data), offset)
        else:
            out += struct.pack("<BBBBHHII", size % 256, size % 256, 2, 0, extra[0], extra[1], len(data), offset)
        offset += len(data)
    for *_, data in entries:
        out += data
    return bytes(out)


# ---------------------------------------------------------------- the hand cursor

# '#' black, 'o' white, '.' the screen. The fingertip's middle is the hot spot, column 5 of row 0.
HAND = """
....###.........................
...#ooo#........................
...#ooo#........................
...#ooo#........................
...#ooo#........................
...#ooo#........................
...#ooo####.....................
...#ooo#ooo###..................
...#ooo#ooo#oo###...............
...#ooo#ooo#oo#oo##.............
...#ooo#ooo#oo#oo#o#............
.###ooo#ooo#oo#oo#o#............
#oo#ooooooooooooooo#............
#ooooooooooooooooo#.............
#ooooooooooooooooo#.............
.#oooooooooooooooo#.............
.#oooooooooooooooo#.............
..#ooooooooooooooo#.............
..#oooooooooooooo#..............
...#ooooooooooooo#..............
...#ooooooooooooo#..............
....#ooooooooooo#...............
....#ooooooooooo#...............
....#############...............
....#ooooooooooo#...............
....#############...............
................................
................................
................................
................................
................................
................................
"""
HOTSPOT = (5, 0)


# Windows' cursor sizes for 100 % to 300 %; the file holds them all, smallest first.
CURSOR_SIZES = [32, 40, 48, 56, 64, 80, 96]

# The same hand as shapes for the larger sizes, in the art's own coordinates: pixel (c, r) is the
# square from (c, r) to (c + 1, r + 1). Each part is the white inside; its black outline is the
# part grown by one unit on every side. Drawn at 32 px they give back the art pixel for pixel.
# The palm takes in the narrow edge of the hand right of the knuckles.
HAND_PALM = ("poly", [(4, 12), (18, 12), (18, 10.5), (18.5, 10), (19, 10.5), (19, 12.5), (18, 13.5),
                      (18, 16.5), (16, 22.5), (16, 23), (5.5, 23), (1, 14), (1, 13), (4, 13)])
HAND_CUFF = ("rrect", 5, 24, 16, 25, 0)
HAND_KNUCKLES = [   # the three folded fingers, right to left
    ("rrect", 15, 9, 17, 14, 0.6), ("rrect", 12, 8, 14, 14, 0.6), ("rrect", 8, 7, 11, 14, 0.7)]
HAND_INDEX = ("rrect", 4, 1, 7, 14, 1.0)
HAND_THUMB = ("rrect", 1, 12, 3, 15, 0.7)


def hand_rows():
    rows = HAND.strip("\n").split("\n")
    assert len(rows) == 32 and all(len(r) == 32 for r in rows), "the hand is 32 x 32"
    assert fingertip(rows) == HOTSPOT, "the hot spot lies on the fingertip"
    return rows


def hand_part(cv, part, grow=0.0):
    """The part's mask, grown by `grow` units with round corners, as its outline needs."""
    if part[0] == "rrect":
        _, x0, y0, x1, y1, r = part
        return cv.rrect(x0 - grow, y0 - grow, x1 + grow, y1 + grow, r + grow)
    points = part[1]
    m = cv.polygon(points)
    if grow:
        m = union(m, *[cv.capsule(p, q, 2 * grow) for p, q in zip(points, points[1:] + points[:1])])
    return m


def drawn_hand(size):
    """The hand at `size` px in the art's notation: the screen where half a pixel or less is
    covered (so edges that split a pixel do not stick out), else black unless mostly white."""
    cv = Canvas(size, (0, 0, 0), design=32)
    # Back to front, each part outlined: the folded fingers' outlines become the lines between
    # them; then the palm's inside again, which clears their ends and the thumb's where they join it.
    for part in [HAND_PALM, HAND_CUFF, *HAND_KNUCKLES, HAND_INDEX, HAND_THUMB]:
        cv.paint((0, 0, 0), hand_part(cv, part, 1.0))
        cv.paint((255, 255, 255), hand_part(cv, part))
    cv.paint((255, 255, 255), hand_part(cv, HAND_PALM))
    rgb, alpha = cv.downsample()
    cells = ["." if a <= 128 else "o" if 2 * w > a else "#"
             for w, a in zip(rgb.convert("L").getdata(), alpha.getdata())]
    return ["".join(cells[y * size:(y + 1) * size]) for y in range(size)]


def fingertip(rows):
    """The hot spot: the middle of the topmost black run, which is the index finger's tip."""
    y = next(y for y, row in enumerate(rows) if "#" in row)
    first, last = rows[y].index("#"), rows[y].rindex("#")
    assert "." not in rows[y][first:last] and last < len(rows) * 8 // 32, "the top row holds only the fingertip"
    return (first + last) // 2, y


def cursor_bytes():
    assert drawn_hand(32) == hand_rows(), "the shapes no longer trace the art"
    entries = []
    for size in CURSOR_SIZES:
        rows = hand_rows() if size == 32 else drawn_hand(size)
        cells = "".join(rows)
        image = dib(size, 1, [(0, 0, 0), (255, 255, 255)], [1 if c == "o" else 0 for c in cells],
                    [c == "." for c in cells])
        entries.append((size, fingertip(rows), image))
    return ico_bytes(2, entries)


# ---------------------------------------------------------------- contact sheet

def read_dib_images(data):
    """The images of an .ico or .cur file as RGBA, in file order, decoded from the bytes alone."""
    _, _, count = struct.unpack_from("<HHH", data, 0)
    images = []
    for n in range(count):
        size_in_res, offset = struct.unpack_from("<II", data, 6 + 16 * n + 8)
        _, w, h2, _, bpp = struct.unpack_from("<IiiHH", data, offset)
        h = h2 // 2
        pos = offset + 40
        palette = []
        if bpp <= 8:
            for i in range(1 << bpp):
                b, g, r, _ = data[pos + 4 * i:pos + 4 * i + 4]
                palette.append((r, g, b))
            pos += 4 << bpp
        xor_row, and_row = row_bytes(w * bpp), row_bytes(w)
        mask_pos = pos + xor_row * h
        img = Image.new("RGBA", (w, h))
        px = img.load()
        for y in range(h):
            row = pos + (h - 1 - y) * xor_row
            mrow = mask_pos + (h - 1 - y) * and_row
            for x in range(w):
                screen = data[mrow + x // 8] >> (7 - x % 8) & 1
                if bpp == 32:
                    b, g, r, a = data[row + 4 * x:row + 4 * x + 4]
                    px[x, y] = (r, g, b, a)
                else:
                    v = data[row + x * bpp // 8] >> (8 - bpp - (x * bpp) % 8) & ((1 << bpp) - 1)
                    px[x, y] = (0, 0, 0, 0) if screen else palette[v] + (255,)
        images.append(img)
    return images


def contact_sheet(gifs, ico, cur):
    """Decodes the written files again and lays them out on the window colour."""
    import io
    from PIL import ImageFont

    font = ImageFont.load_default()
    sheet = Image.new("RGB", (830, 1400), MATTE)
    d = ImageDraw.Draw(sheet)
    red = (255, 0, 0)

    def put(img, x, y, scale=1, bg=None):
        img = img.convert("RGBA")
        if scale != 1:
            img = img.resize((img.width * scale, img.height * scale), Image.Resampling.NEAREST)
        if bg:
            sheet.paste(bg, (x, y, x + img.width, y + img.height))
        sheet.paste(img, (x, y), img)

    def label(x, y, text):
        d.text((x, y), text, fill=(0, 0, 0), font=font)

    def picture(name, size):
        return Image.open(io.BytesIO(gifs[button_file(name, size)]))

    label(10, 8, "Buttons at 1x and 4x on the window colour")
    for i, (name, *_) in enumerate(BUTTONS):
        x = 10 + i * 204
        img = picture(name, 48)
        put(img, x, 26)
        put(img, x, 80, 4)
        label(x + 56, 40, button_file(name, 48))

    # The larger sizes in the same columns, one row each, at 1x: drawn for their size, not enlarged.
    y = 286
    for size in list(BUTTON_SIZES)[1:]:
        label(10, y, f"{size} px, 1x: " + ", ".join(button_file(name, size) for name, *_ in BUTTONS))
        for i, (name, *_) in enumerate(BUTTONS):
            put(picture(name, size), 10 + i * 204, y + 18)
        y += 18 + size + 12

    y0 = y
    label(10, y0, "Icon: 16, 32, 48 at 4 bpp and 8 bpp, then 32 bpp; 1x and 2x")
    icons = read_dib_images(ico)
    x = 10
    for n, (size, bpp) in enumerate(ICON_IMAGES):
        put(icons[n], x, y0 + 18 + 48 - size)
        put(icons[n], x, y0 + 78 + 96 - 2 * size, 2)
        label(x, y0 + 178 + (n % 2) * 12, f"{size}/{bpp}")
        x += 2 * size + 8

    # Each cursor image at 1x on white, its hot spot pointed at by red ticks above and to the left,
    # then the 32 and the 64 at 4x with the hot spot pixel painted red.
    y0 += 210
    label(10, y0, "Cursor at every size, 1x, hot spot red; the 32 and 64 at 4x")
    cursors = read_dib_images(cur)
    hot_spots = [struct.unpack_from("<HH", cur, 6 + 16 * n + 4) for n in range(len(cursors))]
    tallest = max(img.height for img in cursors)
    x, top = 14, y0 + 22
    for img, (hx, hy) in zip(cursors, hot_spots):
        y = top + tallest - img.height
        put(img, x, y, bg=(255, 255, 255))
        d.line([x + hx, y - 4, x + hx, y - 2], fill=red)
        d.line([x - 4, y + hy, x - 2, y + hy], fill=red)
        label(x, top + tallest + 4, str(img.width))
        x += img.width + 12
    x, y = 10, top + tallest + 24
    for img, (hx, hy) in zip(cursors, hot_spots):
        if img.width in (32, 64):
            put(img, x, y, 4, bg=(0, 128, 128))
            d.rectangle([x + hx * 4, y + hy * 4, x + hx * 4 + 3, y + hy * 4 + 3], fill=red)
            x += img.width * 4 + 16
    return sheet


# ---------------------------------------------------------------- main

def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
    assets = root / "src" / "ui" / "assets"
    assets.mkdir(parents=True, exist_ok=True)

    gifs = {}
    for name, draw, colours in BUTTONS:
        for size in BUTTON_SIZES:
            gifs[button_file(name, size)], gifs[coverage_file(name, size)] = button_gifs(draw(size), colours)
    ico = ico_bytes(1, [(s, b, icon_image(s, b)) for s, b in ICON_IMAGES])
    cur = cursor_bytes()

    for name, data in [*gifs.items(), ("ostrael.ico", ico), ("hand.cur", cur)]:
        (assets / name).write_bytes(data)
    docs = root / "docs"
    docs.mkdir(exist_ok=True)
    contact_sheet(gifs, ico, cur).save(docs / "assets.png", optimize=False)


if __name__ == "__main__":
    main()
