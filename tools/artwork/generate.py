#!/usr/bin/env python3
"""Draws the installer's bitmaps and icons and writes them as BMP and ICO files.

Every picture is described as geometry (circles, rounded boxes, strokes,
polygons) and drawn natively at each pixel size with anti-aliasing computed
from signed distances, so each display scale gets its own crisp drawing
rather than a resized copy of a small one. Only the Python standard library
is used; the geometry is in shapes.py, the BMP, ICO and PNG writers in
image_files.py.

    python3 tools/artwork/generate.py                 # rewrite src/resources/art
    python3 tools/artwork/generate.py --check         # compare with the committed files
    python3 tools/artwork/generate.py --preview DIR   # also write PNG previews to DIR
"""

import argparse
import math
import os
import sys

from image_files import bmp_8, bmp_mask, ico, png
from shapes import arc, box, circle, polygon, round_box, rounded_triangle, stroke, subtract, union

# ---------------------------------------------------------------------------
# Canvas: premultiplied RGBA in floats, 0..1.


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        n = width * height
        self.r = [0.0] * n
        self.g = [0.0] * n
        self.b = [0.0] * n
        self.a = [0.0] * n

    def fill(self, shape, colour, opacity=1.0):
        """Paints colour (0xRRGGBB) over the shape, coverage from the distance."""
        cr = ((colour >> 16) & 255) / 255.0
        cg = ((colour >> 8) & 255) / 255.0
        cb = (colour & 255) / 255.0
        x0, y0, x1, y1 = shape.bbox
        xa = max(0, int(math.floor(x0)) - 1)
        ya = max(0, int(math.floor(y0)) - 1)
        xb = min(self.width, int(math.ceil(x1)) + 2)
        yb = min(self.height, int(math.ceil(y1)) + 2)
        sd = shape.sd
        w = self.width
        r, g, b, a = self.r, self.g, self.b, self.a
        for y in range(ya, yb):
            fy = y + 0.5
            row = y * w
            for x in range(xa, xb):
                cov = 0.5 - sd(x + 0.5, fy)
                if cov <= 0.0:
                    continue
                if cov > 1.0:
                    cov = 1.0
                cov *= opacity
                i = row + x
                keep = 1.0 - cov
                r[i] = cr * cov + r[i] * keep
                g[i] = cg * cov + g[i] * keep
                b[i] = cb * cov + b[i] * keep
                a[i] = cov + a[i] * keep

    def erase(self, shape):
        """Makes the shape transparent again (a cut-out)."""
        x0, y0, x1, y1 = shape.bbox
        xa = max(0, int(math.floor(x0)) - 1)
        ya = max(0, int(math.floor(y0)) - 1)
        xb = min(self.width, int(math.ceil(x1)) + 2)
        yb = min(self.height, int(math.ceil(y1)) + 2)
        for y in range(ya, yb):
            for x in range(xa, xb):
                cov = 0.5 - shape.sd(x + 0.5, y + 0.5)
                if cov <= 0.0:
                    continue
                keep = 1.0 - min(cov, 1.0)
                i = y * self.width + x
                self.r[i] *= keep
                self.g[i] *= keep
                self.b[i] *= keep
                self.a[i] *= keep

    def straight_rgba(self):
        """Rows top to bottom of (r, g, b, a) bytes, colour not premultiplied."""
        rows = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                i = y * self.width + x
                a = self.a[i]
                if a <= 0.0:
                    row.append((0, 0, 0, 0))
                    continue
                row.append((to_byte(self.r[i] / a), to_byte(self.g[i] / a),
                            to_byte(self.b[i] / a), to_byte(a)))
            rows.append(row)
        return rows

    def over_background(self, background):
        """Rows of opaque (r, g, b) composited over background(y) -> 0xRRGGBB,
        and rows of booleans: True where the picture covers the pixel."""
        colour_rows, cover_rows = [], []
        for y in range(self.height):
            bg = background(y)
            br = ((bg >> 16) & 255) / 255.0
            bgg = ((bg >> 8) & 255) / 255.0
            bb = (bg & 255) / 255.0
            crow, mrow = [], []
            for x in range(self.width):
                i = y * self.width + x
                a = self.a[i]
                keep = 1.0 - a
                crow.append((to_byte(self.r[i] + br * keep), to_byte(self.g[i] + bgg * keep),
                             to_byte(self.b[i] + bb * keep)))
                # Faint fringes are left to the real background.
                mrow.append(a >= 0.03)
            colour_rows.append(crow)
            cover_rows.append(mrow)
        return colour_rows, cover_rows


def to_byte(v):
    return max(0, min(255, int(v * 255.0 + 0.5)))


# ---------------------------------------------------------------------------
# Palette of the artwork.

ACCENT = 0x2563EB        # product blue
ACCENT_DARK = 0x1E3A8A   # wordmark
GREEN = 0x16A34A
RED = 0xDC2626
ORANGE = 0xE8710A
SKY = 0x0284C7
WHITE = 0xFFFFFF
GREY_TEXT = 0x4B5563
CLOSE_HOVER = 0xE0393E
CLOSE_PRESSED = 0xB4232A
BOX_BODY = 0xD39B54
BOX_LID = 0xB97D3A
BOX_TAPE = 0xF0D3A2


def window_background(scale):
    """The top band of the framed window background: 0xF5F5F5 at the top
    fading to white over a third of the window (about 130 px at 100 %)."""
    band = 130.0 * scale

    def colour(y):
        v = int(245 + 10 * min(1.0, (y + 0.5) / band))
        return (v << 16) | (v << 8) | v
    return colour


# ---------------------------------------------------------------------------
# Close-button strip: four frames side by side (normal, pressed, hover,
# focus), image row above mask row. The focus frame is a ring only, because
# it is laid over the frame of the current state.


def close_frame(size, state):
    c = Canvas(size, size)
    s = size / 22.0
    mid = size / 2.0
    radius = size / 2.0 - 1.0 * s
    arm = 4.5 * s
    hw = 0.8 * s
    if state == "focus":
        c.fill(subtract(circle(mid, mid, radius), circle(mid, mid, radius - 1.4 * s)), ACCENT)
        return c
    if state == "normal":
        colour = GREY_TEXT
    else:
        c.fill(circle(mid, mid, radius), CLOSE_HOVER if state == "hover" else CLOSE_PRESSED)
        colour = WHITE
        if state == "pressed":
            arm *= 0.9
    c.fill(stroke([(mid - arm, mid - arm), (mid + arm, mid + arm)], hw), colour)
    c.fill(stroke([(mid + arm, mid - arm), (mid - arm, mid + arm)], hw), colour)
    return c


def close_strip(frame, scale):
    """Returns 24-bit rows (top to bottom) of the strip: image row, mask row."""
    bg = window_background(scale)
    image = [[(0, 0, 0)] * (frame * 4) for _ in range(frame)]
    mask = [[(255, 255, 255)] * (frame * 4) for _ in range(frame)]
    previews = []
    for n, state in enumerate(("normal", "pressed", "hover", "focus")):
        canvas = close_frame(frame, state)
        previews.append(canvas)
        # The button sits one pixel below the window's top edge.
        colours, cover = canvas.over_background(lambda y: bg(y + 1))
        for y in range(frame):
            for x in range(frame):
                if cover[y][x]:
                    image[y][n * frame + x] = colours[y][x]
                    mask[y][n * frame + x] = (0, 0, 0)
    return image + mask, previews


# ---------------------------------------------------------------------------
# Header emblem: a light tab hanging from the top edge of the window, with the
# product mark on the left and the "PLOVE" wordmark on the right. The window
# writes its title across the middle of it.

# Stroke glyphs on a cap-height grid: x in cap heights, y from 0 (top) to 1.
def glyph_strokes(letter, cap, ox, oy, hw):
    def p(x, y):
        return (ox + x * cap, oy + y * cap)
    if letter == "P":
        bowl = [p(0.0, 0.0), p(0.32, 0.0)]
        for i in range(13):
            t = -math.pi / 2 + math.pi * i / 12
            bowl.append(p(0.32 + 0.26 * math.cos(t), 0.26 + 0.26 * math.sin(t)))
        bowl.append(p(0.0, 0.52))
        return [stroke([p(0.0, 1.0), p(0.0, 0.0)], hw), stroke(bowl, hw)], 0.58
    if letter == "L":
        return [stroke([p(0.0, 0.0), p(0.0, 1.0), p(0.5, 1.0)], hw)], 0.5
    if letter == "O":
        r = 0.5 * cap
        ring = subtract(circle(ox + r, oy + r, r + hw), circle(ox + r, oy + r, r - hw))
        return [ring], 1.0
    if letter == "V":
        return [stroke([p(0.0, 0.0), p(0.36, 1.0), p(0.72, 0.0)], hw)], 0.72
    if letter == "E":
        return [stroke([p(0.5, 0.0), p(0.0, 0.0), p(0.0, 1.0), p(0.5, 1.0)], hw),
                stroke([p(0.0, 0.5), p(0.42, 0.5)], hw)], 0.5
    raise ValueError(letter)


def wordmark(canvas, text, cap, cx, top, hw, colour, gap):
    widths = [glyph_strokes(ch, cap, 0, 0, hw)[1] * cap for ch in text]
    total = sum(widths) + gap * cap * (len(text) - 1)
    x = cx - total / 2.0
    for ch, w in zip(text, widths):
        shapes, _ = glyph_strokes(ch, cap, x, top, hw)
        for s in shapes:
            canvas.fill(s, colour)
        x += w + gap * cap


def install_mark(canvas, cx, cy, size, tile_colour):
    """The product mark: a tile with an arrow going down into a tray."""
    u = size / 17.0
    half = size / 2.0
    canvas.fill(round_box(cx - half, cy - half, cx + half, cy + half, 4.5 * u), tile_colour)
    hw = 1.0 * u
    canvas.fill(stroke([(cx, cy - 5.2 * u), (cx, cy + 1.2 * u)], hw), WHITE)
    canvas.fill(stroke([(cx - 3.0 * u, cy - 1.6 * u), (cx, cy + 1.4 * u),
                        (cx + 3.0 * u, cy - 1.6 * u)], hw), WHITE)
    canvas.fill(stroke([(cx - 5.0 * u, cy + 1.6 * u), (cx - 5.0 * u, cy + 4.6 * u),
                        (cx + 5.0 * u, cy + 4.6 * u), (cx + 5.0 * u, cy + 1.6 * u)], 0.9 * u), WHITE)


def emblem(scale):
    width = int(190 * scale + 0.5)
    height = int(25 * scale + 0.5)
    u = height / 25.0
    c = Canvas(width, height)
    inset = 5.0 * u
    bottom = height - 1.0 * u
    flare = 5.0 * u
    tab = union(
        round_box(inset, -12.0 * u, width - inset, bottom, 8.0 * u),
        subtract(box(inset - flare, -1.0, inset + 1.0, flare), circle(inset - flare, flare, flare)),
        subtract(box(width - inset - 1.0, -1.0, width - inset + flare, flare),
                 circle(width - inset + flare, flare, flare)))
    edge = max(1.0, round(u))
    c.fill(tab, 0xC9D8F6)
    c.fill(tab.grown(-edge), 0xEDF3FE)
    # A thin accent line under the middle, where the title sits.
    c.fill(stroke([(width / 2.0 - 34.0 * u, bottom - edge - 1.2 * u),
                   (width / 2.0 + 34.0 * u, bottom - edge - 1.2 * u)], 0.75 * u), 0xBFD2F7)
    install_mark(c, 22.0 * u, 12.0 * u, 17.0 * u, ACCENT)
    wordmark(c, "PLOVE", 8.0 * u, width - 28.0 * u, 8.0 * u, 0.75 * u, ACCENT_DARK, 0.3)
    return c


def emblem_bitmaps(scale):
    canvas = emblem(scale)
    colours, cover = canvas.over_background(window_background(scale))
    colour_rows = [[colours[y][x] if cover[y][x] else (0, 0, 0) for x in range(canvas.width)]
                   for y in range(canvas.height)]
    mask_rows = [[0 if cover[y][x] else 1 for x in range(canvas.width)] for y in range(canvas.height)]
    return colour_rows, mask_rows, canvas


# ---------------------------------------------------------------------------
# Icons, drawn natively at every size.


def check_box_icon(size, ticked, greyed):
    c = Canvas(size, size)
    m = round(size * 0.125)
    lo, hi = float(m), float(size - m)
    r = (hi - lo) * 0.2
    edge = max(1.0, round(size / 16.0))
    outer = round_box(lo, lo, hi, hi, r)
    if ticked:
        c.fill(outer, 0xB8BDC6 if greyed else ACCENT)
        w = hi - lo
        hw = max(0.8, w * 0.085)
        c.fill(stroke([(lo + 0.24 * w, lo + 0.52 * w), (lo + 0.42 * w, lo + 0.70 * w),
                       (lo + 0.77 * w, lo + 0.32 * w)], hw), WHITE)
    else:
        c.fill(outer, 0xCDD1D8 if greyed else 0x7A808A)
        c.fill(round_box(lo + edge, lo + edge, hi - edge, hi - edge, max(0.0, r - edge)),
               0xF3F4F6 if greyed else WHITE)
    return c


def disc(c, size, colour):
    mid = size / 2.0
    c.fill(circle(mid, mid, mid - max(0.5, size * 0.03)), colour)
    return mid


def success_icon(size):
    c = Canvas(size, size)
    disc(c, size, GREEN)
    s = size
    c.fill(stroke([(0.28 * s, 0.52 * s), (0.44 * s, 0.68 * s), (0.73 * s, 0.37 * s)],
                  max(0.8, s * 0.058)), WHITE)
    return c


def failure_icon(size):
    c = Canvas(size, size)
    disc(c, size, RED)
    s = size
    hw = max(0.8, s * 0.058)
    c.fill(stroke([(0.34 * s, 0.34 * s), (0.66 * s, 0.66 * s)], hw), WHITE)
    c.fill(stroke([(0.66 * s, 0.34 * s), (0.34 * s, 0.66 * s)], hw), WHITE)
    return c


def run_icon(size):
    c = Canvas(size, size)
    disc(c, size, GREEN)
    s = size
    rounding = s * 0.035
    c.fill(rounded_triangle([(0.41 * s, 0.30 * s), (0.41 * s, 0.70 * s), (0.74 * s, 0.50 * s)],
                            rounding), WHITE)
    return c


def restart_icon(size):
    c = Canvas(size, size)
    mid = disc(c, size, ORANGE)
    s = size
    r = 0.25 * s
    hw = max(0.8, s * 0.06)
    gap = math.radians(75)
    start = -math.pi / 2 + gap / 2  # the arc runs clockwise from the top right
    sweep = 2 * math.pi - gap
    end = start + sweep
    c.fill(arc(mid, mid, r, hw, start, sweep - 0.05), WHITE)
    # Arrow head at the end of the arc, pointing along it (clockwise).
    ex, ey = mid + r * math.cos(end), mid + r * math.sin(end)
    tx, ty = -math.sin(end), math.cos(end)
    nx, ny = math.cos(end), math.sin(end)
    length, half = 0.19 * s, 0.155 * s
    bx, by = ex - tx * 0.03 * s, ey - ty * 0.03 * s
    head = polygon([(bx + nx * half, by + ny * half), (bx + tx * length, by + ty * length),
                    (bx - nx * half, by - ny * half)])
    c.fill(head, WHITE)
    return c


def shortcut_icon(size):
    c = Canvas(size, size)
    s = size
    m = max(1.0, round(s * 0.08))
    c.fill(round_box(m, m, s - m, s - m, s * 0.2), SKY)
    hw = max(0.8, s * 0.062)
    c.fill(stroke([(0.31 * s, 0.69 * s), (0.66 * s, 0.34 * s)], hw), WHITE)
    c.fill(stroke([(0.40 * s, 0.33 * s), (0.67 * s, 0.33 * s), (0.67 * s, 0.60 * s)], hw), WHITE)
    return c


def package(c, size):
    # Edges land on whole pixels so that the small sizes stay sharp.
    def q(v):
        return float(round(v * size))
    c.fill(round_box(q(0.16), q(0.36), q(0.84), q(0.86), 0.05 * size), BOX_BODY)
    c.fill(box(q(0.44), q(0.36), q(0.56), q(0.86)), BOX_TAPE)
    c.fill(round_box(q(0.11), q(0.20), q(0.89), q(0.38), 0.05 * size), BOX_LID)
    c.fill(box(q(0.44), q(0.20), q(0.56), q(0.38)), 0xE2BF86)


def badge(c, size, colour):
    s = size
    cx, cy, r = 0.73 * s, 0.73 * s, 0.22 * s
    c.erase(circle(cx, cy, r + max(1.0, 0.05 * s)))
    c.fill(circle(cx, cy, r), colour)
    return cx, cy, r


def uninstall_icon(size):
    c = Canvas(size, size)
    package(c, size)
    cx, cy, r = badge(c, size, RED)
    c.fill(stroke([(cx - 0.5 * r, cy), (cx + 0.5 * r, cy)], max(0.7, 0.16 * r)), WHITE)
    return c


def app_icon(size):
    c = Canvas(size, size)
    package(c, size)
    cx, cy, r = badge(c, size, ACCENT)
    hw = max(0.7, 0.15 * r)
    c.fill(stroke([(cx, cy - 0.55 * r), (cx, cy + 0.45 * r)], hw), WHITE)
    c.fill(stroke([(cx - 0.42 * r, cy + 0.05 * r), (cx, cy + 0.47 * r),
                   (cx + 0.42 * r, cy + 0.05 * r)], hw), WHITE)
    return c


# Icon sizes: the row sizes (16, 20, 24, 32, 48 for the five display
# scales: check boxes and option rows) and the status sizes (75, 94, 112,
# 150, 256: the large picture beside a result or question). Each icon holds
# the sizes the windows draw it at; the executable's own icon holds both,
# which covers the shell's usual 16/32/48/256.
ROW_SIZES = (16, 20, 24, 32, 48)
STATUS_SIZES = (75, 94, 112, 150, 256)
ALL_SIZES = ROW_SIZES + STATUS_SIZES
# Entries are stored PNG-compressed (read by Windows Vista and later, the
# shell included), a tenth of the size of a 32-bit bitmap with its mask;
# the executable's own icon too, whose bitmaps up to 48 px were half of the
# artwork's weight for readers older than the product's Windows 7.
ICONS = (
    ("app.ico", app_icon, ALL_SIZES),
    ("check_ticked.ico", lambda s: check_box_icon(s, True, False), ROW_SIZES),
    ("check_ticked_grey.ico", lambda s: check_box_icon(s, True, True), ROW_SIZES),
    ("check_empty.ico", lambda s: check_box_icon(s, False, False), ROW_SIZES),
    ("check_empty_grey.ico", lambda s: check_box_icon(s, False, True), ROW_SIZES),
    ("run_program.ico", run_icon, ROW_SIZES),
    ("restart.ico", restart_icon, ALL_SIZES),
    ("shortcut.ico", shortcut_icon, ROW_SIZES),
    ("success.ico", success_icon, STATUS_SIZES),
    ("failure.ico", failure_icon, STATUS_SIZES),
    ("uninstall.ico", uninstall_icon, STATUS_SIZES),
)

# Display scales and the pixel sizes drawn for them.
SCALES = ((100, 1.0), (125, 1.25), (150, 1.5), (200, 2.0), (300, 3.0))
CLOSE_FRAME = {100: 22, 125: 28, 150: 33, 200: 44, 300: 66}
# ---------------------------------------------------------------------------


def close_as_shown(rows, frame, scale):
    """What the button shows in each state, as the toolkit composes it: the
    background ANDed with the mask row, then ORed with the image row; the last
    two pictures have the focus frame laid over the normal and hover states."""
    bg = window_background(scale)

    def compose(base, n):
        out = []
        for y in range(frame):
            line = []
            for x in range(frame):
                under = base[y][x]
                m = rows[frame + y][n * frame + x]
                i = rows[y][n * frame + x]
                line.append(tuple((u & mm) | ii for u, mm, ii in zip(under, m, i)))
            out.append(line)
        return out
    plain = [[(bg(y + 1) & 255,) * 3 for _ in range(frame)] for y in range(frame)]
    shown = [compose(plain, n) for n in range(3)]
    shown += [compose(shown[0], 3), compose(shown[2], 3)]
    return [[px + (255,) for pic in shown for px in pic[y]] for y in range(frame)]


def build_all():
    """Returns {file name: bytes} and {preview name: rows of RGBA}."""
    files = {}
    previews = {}
    for percent, scale in SCALES:
        frame = CLOSE_FRAME[percent]
        rows, frames = close_strip(frame, scale)
        files["close_%d.bmp" % percent] = bmp_8(rows)
        previews["close_%d" % percent] = [[px + (255,) for px in row] for row in rows]
        previews["close_shown_%d" % percent] = close_as_shown(rows, frame, scale)
        colour_rows, mask_rows, canvas = emblem_bitmaps(scale)
        files["emblem_%d.bmp" % percent] = bmp_8(colour_rows)
        files["emblem_mask_%d.bmp" % percent] = bmp_mask(mask_rows)
        # What the window shows: the mask ANDed and the colour ORed over the band.
        bg = window_background(scale)
        shown = []
        for y, (crow, mrow) in enumerate(zip(colour_rows, mask_rows)):
            v = bg(y) & 255
            shown.append([(v, v, v, 255) if m else c + (255,) for c, m in zip(crow, mrow)])
        previews["emblem_%d" % percent] = shown
    for name, draw, sizes in ICONS:
        images = [(size, draw(size).straight_rgba()) for size in sizes]
        files[name] = ico(images, 0)
        for size, rows in images:
            previews["%s_%d" % (name[:-4], size)] = rows
    return files, previews


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_out = os.path.normpath(os.path.join(here, "..", "..", "src", "resources", "art"))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=default_out, help="folder for the BMP and ICO files")
    parser.add_argument("--check", action="store_true",
                        help="compare with the files in --out instead of writing them")
    parser.add_argument("--preview", metavar="DIR", help="also write PNG previews to DIR")
    args = parser.parse_args()

    files, previews = build_all()
    if args.check:
        stale = []
        for name, data in sorted(files.items()):
            path = os.path.join(args.out, name)
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(name)
            except OSError:
                stale.append(name)
        if stale:
            print("out of date: " + ", ".join(stale))
            return 1
        print("all %d files up to date" % len(files))
        return 0
    os.makedirs(args.out, exist_ok=True)
    for name, data in sorted(files.items()):
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    print("wrote %d files to %s" % (len(files), args.out))
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        for name, rows in previews.items():
            with open(os.path.join(args.preview, name + ".png"), "wb") as f:
                f.write(png(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
