#!/usr/bin/python3
"""Draws the program's icon and banner into ui/resources/.

Regenerate with:   /usr/bin/python3 art/draw.py      (from the repository root)
It needs Debian's python3-pil and fonts-wqy-microhei. The pictures it writes
are committed, so building the program needs neither.

Writes:
  icon16.png ... icon128.png            16, 32, 48, 64 and 128 px palette PNGs
                                        of at most 16 colours, transparent
                                        background
  icon.svg                              the motif as a vector drawing, with the
                                        128 px stroke widths, for any size
  app.ico                               the Windows icon: 16, 24, 32, 48, 64 and
                                        256 px (PNG entries), the sizes Windows
                                        draws at 100 % and picks from when scaled
  banner.gif                            200 x 60, 64-colour palette, entry 0 is
                                        white and transparent

The motif is drawn once, on a 32-unit grid: a red sine wave (one period) over a
red axis line, a blue NOT gate (box, input line, output circle) at the upper
right and a blue NPN transistor at the lower left. Each size scales that grid,
draws it supersampled and reduces it to a few coverage levels. Stroke widths
are chosen per size, and straight strokes are snapped to whole pixels, so that
the small icons stay sharp instead of being a blurred copy of the large one.
"""

import io
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "ui", "resources")
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
TITLE = "振荡电路计算器"

RED = (255, 0, 0)
BLUE = (0, 0, 255)
WHITE = (255, 255, 255)
# Default window colour the banner is shown on; its edges are blended towards
# it so that they do not show a white fringe there.
WINDOW_GREY = (239, 239, 239)

SS = 8  # supersampling factor

# The icon files: PNGs for the desktop's icon theme and the window, and the
# Windows icon.
PNG_SIZES = (16, 32, 48, 64, 128)
ICO_SIZES = (16, 24, 32, 48, 64, 256)

# The motif's geometry on the 32-unit grid. Strokes one pixel wide at 32 px
# run along pixel centres (n + 0.5) so that they come out exact there.
GEOMETRY = dict(
    # NOT gate: circle centre x, y and outer radius.
    bubble=(28.5, 6.5, 2.5),
    # Transistor: collector and emitter leads, emitter arrow head.
    collector=[(7.5, 22.5), (11.5, 18.5), (11.5, 17)],
    emitter=[(7.5, 26.5), (11.5, 30.5)],
    # A right angle at the emitter's end with its legs along the pixel grid:
    # a 90-degree head on a 45-degree lead.
    arrow=[(12, 31), (8.5, 31), (12, 27.5)],
)


def at24(*pixels):
    """Output pixel positions at 24 px in grid units."""
    return tuple(v * 32 / 24 for v in pixels)


# Per-size drawing choices; widths are in output pixels. The straight strokes
# are whole pixels so that they land on the pixel grid. At the small sizes the
# blue symbols, built from straight and 45-degree strokes, are drawn without
# anti-aliasing so that they stay sharp; the red wave, a curve, keeps its
# anti-aliasing at every size. At 16 and 24 px, where a unit is less than a
# pixel, the symbols' points are placed on pixel centres by hand.
STYLES = {
    16: dict(
        axis=1, wave=1.3, gate=1, bubble=0.9, base=1, lead=1, sharp=True,
        geometry=dict(
            bubble=(29, 7, 2.6),
            collector=[(9, 21), (11, 19)],
            emitter=[(9, 27), (11, 29)],
            arrow=[(14, 32), (7, 32), (14, 25)],
        ),
    ),
    24: dict(
        axis=1, wave=1.6, gate=1, bubble=0.9, base=2, lead=1, sharp=True,
        # Pixel centres and edges at 24 px, in grid units.
        geometry=dict(
            bubble=(*at24(21.5, 4.5), at24(1.3)[0]),
            collector=[at24(5.5, 16.5), at24(7.5, 14.5), at24(7.5, 13.5)],
            emitter=[at24(5.5, 19.5), at24(8.5, 22.5)],
            arrow=[at24(10, 24), at24(6.5, 24), at24(10, 20.5)],
        ),
    ),
    32: dict(axis=1, wave=2.0, gate=1, bubble=1, base=2, lead=1, sharp=True),
    48: dict(axis=1, wave=3.0, gate=2, bubble=2, base=3, lead=2, sharp=False),
    64: dict(axis=2, wave=3.6, gate=2, bubble=2, base=4, lead=2, sharp=False),
    128: dict(axis=3, wave=6.5, gate=4, bubble=4, base=7, lead=4, sharp=False),
    256: dict(axis=6, wave=13, gate=8, bubble=8, base=14, lead=8, sharp=False),
    "banner": dict(axis=2, wave=3.4, gate=2, bubble=2, base=3, lead=2, sharp=False),
}


class Pen:
    """Draws the motif's primitives, given in grid units, onto two
    supersampled coverage masks (red and blue)."""

    def __init__(self, size_px, style, origin=(0.0, 0.0)):
        self.k = size_px / 32.0  # output pixels per grid unit
        self.ox, self.oy = origin  # output pixel offset of the grid
        self.w = style
        self.masks = {}

    def canvas(self, colour, w, h):
        self.masks[colour] = Image.new("L", (w * SS, h * SS), 0)

    def _d(self, colour):
        return ImageDraw.Draw(self.masks[colour])

    def px(self, x, y):
        """Grid units to output pixels (unsnapped)."""
        return (self.ox + x * self.k, self.oy + y * self.k)

    @staticmethod
    def snap(c, width):
        """Centre of a straight stroke, moved so that its edges fall on pixel
        boundaries."""
        if round(width) % 2:
            return math.floor(c) + 0.5
        return float(round(c))

    def _box(self, colour, x0, y0, x1, y1):
        """Fills the output-pixel rectangle [x0,x1) x [y0,y1)."""
        self._d(colour).rectangle(
            [round(x0 * SS), round(y0 * SS), round(x1 * SS) - 1, round(y1 * SS) - 1], fill=255
        )

    def hline(self, colour, y, x0, x1, width):
        (px0, py), (px1, _) = self.px(x0, y), self.px(x1, y)
        cy = self.snap(py, width)
        self._box(colour, round(px0), cy - width / 2, round(px1), cy + width / 2)

    def vline(self, colour, x, y0, y1, width):
        (px, py0), (_, py1) = self.px(x, y0), self.px(x, y1)
        cx = self.snap(px, width)
        self._box(colour, cx - width / 2, round(py0), cx + width / 2, round(py1))

    def frame(self, colour, x0, y0, x1, y1, width):
        """Rectangle outline whose outer edge is the given box."""
        a, b = self.px(x0, y0)
        c, d = self.px(x1, y1)
        a, b, c, d = round(a), round(b), round(c), round(d)
        self._box(colour, a, b, c, b + width)
        self._box(colour, a, d - width, c, d)
        self._box(colour, a, b, a + width, d)
        self._box(colour, c - width, b, c, d)

    def _ss(self, points):
        """Grid units to supersampled pixel indices; PIL puts index i at the
        centre of the pixel whose edges are i and i + 1."""
        return [tuple(v * SS - 0.5 for v in self.px(x, y)) for x, y in points]

    @staticmethod
    def _disc(d, x, y, r, fill):
        """Disc of radius r around the edge coordinate (x, y), supersampled."""
        d.ellipse([x - r, y - r, x + r - 1, y + r - 1], fill=fill)

    def polyline(self, colour, points, width):
        """Free-direction stroke with round joins and ends."""
        pts = self._ss(points)
        r = width * SS / 2
        d = self._d(colour)
        d.line(pts, fill=255, width=max(1, round(width * SS)), joint="curve")
        for x, y in (pts[0], pts[-1]):
            self._disc(d, x + 0.5, y + 0.5, r, 255)

    def ring(self, colour, cx, cy, r, width):
        """Circle outline; r is the outer radius in grid units."""
        x, y = (v * SS for v in self.px(cx, cy))
        ro = r * self.k * SS
        ri = ro - width * SS
        d = self._d(colour)
        self._disc(d, x, y, ro, 255)
        if ri > 0:
            self._disc(d, x, y, ri, 0)

    def polygon(self, colour, points):
        self._d(colour).polygon(self._ss(points), fill=255)

    def coverage(self, colour):
        """Per output pixel coverage 0..255."""
        m = self.masks[colour]
        return m.resize((m.width // SS, m.height // SS), Image.BOX)


def draw_motif(pen):
    """The motif on the 32-unit grid."""
    w = pen.w
    g = {**GEOMETRY, **w.get("geometry", {})}

    # Red: axis across the middle, one period of the sine over it. The wave
    # rises on the left and dips on the right, which leaves the upper right
    # and the lower left free for the two symbols.
    pen.hline(RED, 15.5, 1, 31, w["axis"])
    x0, x1, amp = 2.5, 29.5, 10.0
    n = 96
    wave = []
    for i in range(n + 1):
        t = i / n
        wave.append((x0 + (x1 - x0) * t, 15.5 - amp * math.sin(2 * math.pi * t)))
    pen.polyline(RED, wave, w["wave"])

    # Blue NOT gate, upper right: input line into a box, output circle
    # against the box's right side.
    pen.hline(BLUE, 6.5, 16, 20, w["gate"])
    pen.frame(BLUE, 20, 2, 26, 11, w["gate"])
    pen.ring(BLUE, *g["bubble"], w["bubble"])

    # Blue NPN transistor, lower left: base lead into a thick base bar,
    # collector leaving it up and to the right, emitter down and to the right
    # with its arrow pointing away from the bar.
    pen.hline(BLUE, 24.5, 1, 6, w["lead"])
    pen.vline(BLUE, 6, 20, 29, w["base"])
    pen.polyline(BLUE, g["collector"], w["lead"])
    pen.polyline(BLUE, g["emitter"], w["lead"])
    pen.polygon(BLUE, g["arrow"])


def icon(size):
    pen = Pen(size, STYLES[size])
    for c in (RED, BLUE):
        pen.canvas(c, size, size)
    draw_motif(pen)
    blue = pen.coverage(BLUE)
    if STYLES[size]["sharp"]:
        blue = blue.point(lambda v: 255 if v >= 128 else 0)
    return quantize_icon(pen.coverage(RED), blue)


# Icon palette: transparent, then red and blue each at LEVELS opacities, all
# with the full colour so that they blend correctly over any background.
LEVELS = 7


def quantize_icon(red, blue):
    size = red.size
    palette = [WHITE]
    alpha = [0]
    for colour in (RED, BLUE):
        for i in range(1, LEVELS + 1):
            palette.append(colour)
            alpha.append(round(255 * i / LEVELS))
    assert len(palette) <= 16
    out = Image.new("P", size, 0)
    rp, bp, op = red.load(), blue.load(), out.load()
    for y in range(size[1]):
        for x in range(size[0]):
            r, b = rp[x, y], bp[x, y]
            level = round(min(255, r + b) / 255 * LEVELS)
            if level:
                op[x, y] = level if r >= b else LEVELS + level
    out.putpalette([v for c in palette for v in c])
    out.info["transparency"] = bytes(alpha)
    return out


def png_bytes(img):
    buf = io.BytesIO()
    img.save(buf, "PNG", optimize=True, transparency=img.info["transparency"])
    return buf.getvalue()


def ico_bytes(images):
    """An ICO file with PNG-compressed entries, smallest first."""
    payloads = [(img.size[0], png_bytes(img)) for img in images]
    head = struct.pack("<HHH", 0, 1, len(payloads))
    offset = len(head) + 16 * len(payloads)
    entries, data = b"", b""
    for size, png in payloads:
        # width, height (256 is stored as 0), colour count, reserved, planes,
        # bits per pixel
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(png), offset)
        offset += len(png)
        data += png
    return head + entries + data


BANNER_W, BANNER_H = 200, 60
RED_STEPS, BLUE_STEPS = 31, 32  # with white: 64 palette entries


def banner():
    motif = 54  # the motif's square, in pixels
    top = (BANNER_H - motif) / 2
    pen = Pen(motif, STYLES["banner"], origin=(3, top))
    for c in (RED, BLUE):
        pen.canvas(c, BANNER_W, BANNER_H)
    draw_motif(pen)
    red = pen.coverage(RED)

    # The title is rendered at its own size so that FreeType's hinting keeps
    # the strokes sharp.
    font = ImageFont.truetype(FONT, 19)
    _, t, right, bottom = font.getbbox(TITLE)
    text = Image.new("L", (BANNER_W, BANNER_H), 0)
    tx = 62
    ty = (BANNER_H - (bottom - t)) // 2 - t
    ImageDraw.Draw(text).text((tx, ty), TITLE, font=font, fill=255)
    assert tx + right <= BANNER_W - 3, "title does not fit"
    blue = ImageChops.lighter(pen.coverage(BLUE), text)
    return quantize_banner(red, blue)


def banner_gif():
    buf = io.BytesIO()
    # optimize=False keeps all 64 entries and their order, so entry 0 stays
    # the transparent white. Interlacing buys nothing for a picture this small.
    banner().save(buf, "GIF", transparency=0, background=0, optimize=False, interlace=False)
    return buf.getvalue()


def blend(colour, a):
    return tuple(round(bg + (c - bg) * a) for c, bg in zip(colour, WINDOW_GREY))


def quantize_banner(red, blue):
    palette = [WHITE]
    palette += [blend(RED, i / RED_STEPS) for i in range(1, RED_STEPS + 1)]
    palette += [blend(BLUE, i / BLUE_STEPS) for i in range(1, BLUE_STEPS + 1)]
    assert len(palette) == 64
    out = Image.new("P", red.size, 0)
    rp, bp, op = red.load(), blue.load(), out.load()
    for y in range(red.size[1]):
        for x in range(red.size[0]):
            r, b = rp[x, y], bp[x, y]
            if r >= b:
                level = round(min(255, r + b) / 255 * RED_STEPS)
                if level:
                    op[x, y] = level
            else:
                level = round(min(255, r + b) / 255 * BLUE_STEPS)
                if level:
                    op[x, y] = RED_STEPS + level
    out.putpalette([v for c in palette for v in c])
    return out


def icon_svg():
    """The motif on its 32-unit grid as SVG, stroked as at 128 px."""
    w = {k: v / 4 for k, v in STYLES[128].items() if k != "sharp"}
    g = GEOMETRY

    def pts(points):
        return " ".join(f"{x:g},{y:g}" for x, y in points)

    x0, x1, amp, n = 2.5, 29.5, 10.0, 48
    wave = [
        (round(x0 + (x1 - x0) * i / n, 3), round(15.5 - amp * math.sin(2 * math.pi * i / n), 3))
        for i in range(n + 1)
    ]
    cx, cy, r = g["bubble"]
    red, blue = "#ff0000", "#0000ff"
    lines = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 32 32">',
        f'<g fill="none" stroke="{red}" stroke-linecap="round" stroke-linejoin="round">',
        f'<path d="M1 15.5H31" stroke-width="{w["axis"]:g}" stroke-linecap="butt"/>',
        f'<polyline points="{pts(wave)}" stroke-width="{w["wave"]:g}"/>',
        "</g>",
        f'<g fill="none" stroke="{blue}">',
        f'<path d="M16 6.5H20" stroke-width="{w["gate"]:g}"/>',
        f'<rect x="{20 + w["gate"] / 2:g}" y="{2 + w["gate"] / 2:g}" width="{6 - w["gate"]:g}"'
        f' height="{9 - w["gate"]:g}" stroke-width="{w["gate"]:g}"/>',
        f'<circle cx="{cx:g}" cy="{cy:g}" r="{r - w["bubble"] / 2:g}" stroke-width="{w["bubble"]:g}"/>',
        f'<path d="M1 24.5H6" stroke-width="{w["lead"]:g}"/>',
        f'<path d="M6 20V29" stroke-width="{w["base"]:g}"/>',
        f'<polyline points="{pts(g["collector"])}" stroke-width="{w["lead"]:g}"'
        ' stroke-linecap="round" stroke-linejoin="round"/>',
        f'<polyline points="{pts(g["emitter"])}" stroke-width="{w["lead"]:g}"'
        ' stroke-linecap="round" stroke-linejoin="round"/>',
        "</g>",
        f'<polygon points="{pts(g["arrow"])}" fill="{blue}"/>',
        "</svg>",
    ]
    return "\n".join(lines) + "\n"


def main():
    os.makedirs(OUT, exist_ok=True)
    with open(os.path.join(OUT, "icon.svg"), "w", encoding="ascii") as f:
        f.write(icon_svg())
    icons = {s: icon(s) for s in sorted(set(PNG_SIZES) | set(ICO_SIZES))}
    for s in PNG_SIZES:
        with open(os.path.join(OUT, f"icon{s}.png"), "wb") as f:
            f.write(png_bytes(icons[s]))
    with open(os.path.join(OUT, "app.ico"), "wb") as f:
        f.write(ico_bytes([icons[s] for s in ICO_SIZES]))
    with open(os.path.join(OUT, "banner.gif"), "wb") as f:
        f.write(banner_gif())
    return 0


if __name__ == "__main__":
    sys.exit(main())
