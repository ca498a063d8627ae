#!/usr/bin/env python3
"""Draws the installer's skin pictures and icon.

Usage: skin.py OUTPUT_DIR

Everything is drawn with PIL from the shapes below; text uses Noto Sans CJK
(Debian's fonts-noto-cjk), whose Latin glyphs serve the English variants too.
Shapes are drawn supersampled and reduced, so edges stay smooth.  PNGs are
written without any metadata chunk, so the same inputs give the same bytes.

Pictures are shown at half their pixel size (a 1200 px banner fills the
600-unit window), so every length below is in picture pixels = 2x units.
"""

import io
import math
import os
import random
import struct
import subprocess
import sys
import zlib

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

# Brand palette.
YELLOW = (0xFF, 0xD5, 0x21)
YELLOW_LIGHT = (0xFF, 0xE4, 0x6B)
YELLOW_DEEP = (0xF7, 0xC9, 0x00)
INK = (0x2B, 0x34, 0x40)
INK_SOFT = (0x5A, 0x64, 0x72)
WHITE = (0xFF, 0xFF, 0xFF)
LINE_GREY = (0xE3, 0xE6, 0xEB)
BOX_GREY = (0xB4, 0xBB, 0xC5)
LINK_BLUE = (0x27, 0x9A, 0xFF)   # the colour of the toggle's caption
ORANGE = (0xFF, 0x8A, 0x1F)
GREEN = (0x2E, 0xC2, 0x7E)
CORAL = (0xFF, 0x6B, 0x5A)

SS = 4  # supersampling factor for shapes

# ---------------------------------------------------------------- banner texts
# Per banner: (tag line shown in the pill, description line).  The product's
# name is drawn large on every banner.
NAME = {"zh": "马林iOS数据恢复", "en": "Marlin Data Recovery (iOS)"}

TEXTS = {
    "welcome": {
        "zh": ("iPhone · iPad 数据恢复专家",
               "误删的照片、信息和联系人，轻松一键找回。"),
        "en": ("DATA RECOVERY FOR IPHONE & IPAD",
               "Get back deleted photos, messages and contacts in a few clicks."),
    },
    "installing": {
        "zh": ("正在安装", "正在将程序安装到您的电脑，请稍候……"),
        "en": ("INSTALLING", "Installing the program on your computer. Please wait..."),
    },
    "installing_alt1": {
        "zh": ("正在复制文件", "正在复制程序文件，只需要一点时间……"),
        "en": ("COPYING FILES", "Copying the program files. This only takes a moment..."),
    },
    "installing_alt2": {
        "zh": ("即将完成", "正在完成安装，马上就可以开始恢复数据了。"),
        "en": ("ALMOST DONE", "Finishing the installation. You can start recovering soon."),
    },
    "updating": {
        "zh": ("正在更新", "正在更新到最新版本，请勿关闭此窗口……"),
        "en": ("UPDATING", "Updating to the latest version. Please keep this window open..."),
    },
}

# ---------------------------------------------------------------------- fonts
FONT_DIR = "/usr/share/fonts/opentype/noto"


def _font_file(weight):
    name = "NotoSansCJK-%s.ttc" % weight
    path = os.path.join(FONT_DIR, name)
    if os.path.exists(path):
        return path
    try:  # fall back to fontconfig when the font lives elsewhere
        out = subprocess.run(["fc-match", "-f", "%{file}", "Noto Sans CJK SC:style=" + weight],
                             capture_output=True, text=True, check=True).stdout
        if out.endswith(name):
            return out
    except (OSError, subprocess.CalledProcessError):
        pass
    sys.exit("skin.py: %s not found (install fonts-noto-cjk)" % name)


_fonts = {}


def font(weight, size):
    key = (weight, size)
    if key not in _fonts:
        path = _font_file(weight)
        # Index 2 of the collection is the Simplified Chinese face.
        f = ImageFont.truetype(path, size, index=2)
        assert f.getname()[0] == "Noto Sans CJK SC", f.getname()
        _fonts[key] = f
    return _fonts[key]


# -------------------------------------------------------------------- helpers
def rgba(c, a=255):
    return (c[0], c[1], c[2], a)


def mix(c1, c2, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c1, c2))


class Canvas:
    """A supersampled RGBA layer addressed in final-pixel coordinates."""

    def __init__(self, w, h, s=SS):
        self.w, self.h, self.s = w, h, s
        self.img = Image.new("RGBA", (w * s, h * s), (0, 0, 0, 0))
        self.d = ImageDraw.Draw(self.img)

    def _p(self, v):
        return [x * self.s for x in v]

    def rect(self, box, r, fill, outline=None, width=0):
        self.d.rounded_rectangle(self._p(box), radius=r * self.s, fill=fill,
                                 outline=outline, width=int(round(width * self.s)))

    def ellipse(self, box, fill, outline=None, width=0):
        self.d.ellipse(self._p(box), fill=fill, outline=outline,
                       width=int(round(width * self.s)))

    def circle(self, cx, cy, r, fill, outline=None, width=0):
        self.ellipse((cx - r, cy - r, cx + r, cy + r), fill, outline, width)

    def polygon(self, pts, fill):
        self.d.polygon([(x * self.s, y * self.s) for x, y in pts], fill=fill)

    def line(self, pts, fill, width, round_caps=True):
        sp = [(x * self.s, y * self.s) for x, y in pts]
        wpx = int(round(width * self.s))
        self.d.line(sp, fill=fill, width=wpx, joint="curve")
        if round_caps:
            r = wpx / 2.0
            for x, y in (sp[0], sp[-1]):
                self.d.ellipse((x - r, y - r, x + r, y + r), fill=fill)

    def arc(self, cx, cy, r, start, end, fill, width):
        """Arc with round caps; angles in degrees, clockwise from 3 o'clock."""
        s = self.s
        box = [(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s]
        wpx = int(round(width * s))
        # PIL strokes arcs inwards from the box; widen the box to centre it.
        h = wpx / 2.0
        box = [box[0] - h, box[1] - h, box[2] + h, box[3] + h]
        self.d.arc(box, start, end, fill=fill, width=wpx)
        for a in (start, end):
            x = (cx + r * math.cos(math.radians(a))) * s
            y = (cy + r * math.sin(math.radians(a))) * s
            self.d.ellipse((x - h, y - h, x + h, y + h), fill=fill)

    def image(self):
        return self.img.resize((self.w, self.h), Image.LANCZOS)


def shadow_of(layer, radius, offset, alpha, color=INK):
    """A soft drop shadow shaped like the layer's alpha."""
    a = layer.getchannel("A").point(lambda v: v * alpha // 255)
    a = a.filter(ImageFilter.GaussianBlur(radius))
    sh = Image.new("RGBA", layer.size, rgba(color, 0))
    sh.putalpha(a)
    out = Image.new("RGBA", layer.size, (0, 0, 0, 0))
    out.paste(sh, offset)
    return out


def over(base, layer, shadow=None):
    if shadow:
        base.alpha_composite(shadow_of(layer, *shadow))
    base.alpha_composite(layer)


def gradient(w, h, stops, angle_deg):
    """Linear gradient through colour stops [(t, rgb)], direction in degrees."""
    n = 1024
    ramp = Image.new("RGB", (n, 1))
    px = ramp.load()
    for i in range(n):
        t = i / (n - 1)
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t0 <= t <= t1:
                px[i, 0] = mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0)
                break
    # Project each pixel on the direction vector.
    a = math.radians(angle_deg)
    dx, dy = math.cos(a), math.sin(a)
    corners = [x * dx + y * dy for x in (0, w) for y in (0, h)]
    lo, hi = min(corners), max(corners)
    span = hi - lo
    # Build the projection as an 'L'-like index image at low resolution, then
    # look colours up; the ramp is smooth so bilinear upscaling is exact enough.
    sw, sh = max(2, w // 4), max(2, h // 4)
    small = Image.new("RGB", (sw, sh))
    sp = small.load()
    for y in range(sh):
        for x in range(sw):
            p = ((x + 0.5) * w / sw * dx + (y + 0.5) * h / sh * dy - lo) / span
            sp[x, y] = px[min(n - 1, max(0, int(p * (n - 1)))), 0]
    return small.resize((w, h), Image.BICUBIC).convert("RGBA")


def radial_glow(w, h, cx, cy, r, color, alpha):
    """A soft round light, fading to nothing at radius r."""
    m = Image.new("L", (w, h), 0)
    ImageDraw.Draw(m).ellipse((cx - r * 0.5, cy - r * 0.5, cx + r * 0.5, cy + r * 0.5),
                              fill=alpha)
    m = m.filter(ImageFilter.GaussianBlur(r * 0.35))
    g = Image.new("RGBA", (w, h), rgba(color, 0))
    g.putalpha(m)
    return g


def text(img, xy, s, fnt, fill, anchor="la"):
    ImageDraw.Draw(img).text(xy, s, font=fnt, fill=fill, anchor=anchor)


def wrap(s, fnt, max_w):
    """One line if it fits, else two lines of about equal width.

    English breaks at spaces; Chinese between any two characters, but never
    before punctuation."""
    if fnt.getlength(s) <= max_w:
        return [s]
    if " " in s:
        words = s.split(" ")
        cands = [(" ".join(words[:i]), " ".join(words[i:])) for i in range(1, len(words))]
    else:
        cands = [(s[:i], s[i:]) for i in range(1, len(s)) if s[i] not in "，。、…；：！？"]
    best = min(cands, key=lambda ab: max(fnt.getlength(ab[0]), fnt.getlength(ab[1])))
    assert max(fnt.getlength(t) for t in best) <= max_w, "text too long: " + s
    return list(best)


# ------------------------------------------------------------- small glyphs
def glyph_photo(c, x, y, s, bg, fg, sun):
    """Picture symbol: framed landscape with sun, in box (x, y, s, s)."""
    c.rect((x, y, x + s, y + s), s * 0.22, bg)
    c.circle(x + s * 0.70, y + s * 0.32, s * 0.10, sun)
    c.polygon([(x + s * 0.14, y + s * 0.80), (x + s * 0.40, y + s * 0.44),
               (x + s * 0.62, y + s * 0.80)], fg)
    c.polygon([(x + s * 0.46, y + s * 0.80), (x + s * 0.64, y + s * 0.56),
               (x + s * 0.86, y + s * 0.80)], fg)


def glyph_chat(c, x, y, s, bg, fg):
    c.rect((x, y, x + s, y + s), s * 0.22, bg)
    c.rect((x + s * 0.16, y + s * 0.20, x + s * 0.84, y + s * 0.66), s * 0.14, fg)
    c.polygon([(x + s * 0.30, y + s * 0.62), (x + s * 0.30, y + s * 0.82),
               (x + s * 0.50, y + s * 0.64)], fg)
    for i in range(3):
        c.circle(x + s * (0.34 + 0.16 * i), y + s * 0.43, s * 0.05, bg)


def glyph_contact(c, x, y, s, bg, fg):
    c.rect((x, y, x + s, y + s), s * 0.22, bg)
    c.circle(x + s * 0.5, y + s * 0.38, s * 0.15, fg)
    c.d.pieslice(c._p((x + s * 0.22, y + s * 0.58, x + s * 0.78, y + s * 1.08)),
                 180, 360, fill=fg)
    # keep the shoulders inside the tile
    c.rect((x, y + s * 0.83, x + s, y + s), 0, bg)
    c.rect((x, y, x + s, y + s), s * 0.22, None, outline=bg, width=s * 0.04)


def glyph_note(c, x, y, s, bg, fg):
    c.rect((x, y, x + s, y + s), s * 0.22, bg)
    c.line([(x + s * 0.42, y + s * 0.70), (x + s * 0.42, y + s * 0.24),
            (x + s * 0.72, y + s * 0.18), (x + s * 0.72, y + s * 0.62)], fg, s * 0.08)
    c.circle(x + s * 0.34, y + s * 0.70, s * 0.11, fg)
    c.circle(x + s * 0.64, y + s * 0.64, s * 0.11, fg)


def glyph_restore(c, cx, cy, r, col, w):
    """Anticlockwise 'restore' arrow: an open ring whose head points into the gap."""
    a0, a1 = -50, 235   # ring drawn clockwise from a0 to a1; the gap is at the top
    c.arc(cx, cy, r, a0, a1, col, w)
    a = math.radians(a0)
    ex, ey = cx + r * math.cos(a), cy + r * math.sin(a)
    tx, ty = math.sin(a), -math.cos(a)       # anticlockwise tangent on screen
    nx, ny = math.cos(a), math.sin(a)        # outward normal
    hw, hl = w * 1.25, w * 2.3               # head half-width and length
    bx, by = ex - tx * w * 0.35, ey - ty * w * 0.35
    c.polygon([(bx + tx * hl, by + ty * hl),
               (bx + nx * hw, by + ny * hw),
               (bx - nx * hw, by - ny * hw)], col)


def glyph_check(c, cx, cy, s, col, w):
    c.line([(cx - s * 0.42, cy + s * 0.02), (cx - s * 0.12, cy + s * 0.32),
            (cx + s * 0.45, cy - s * 0.30)], col, w)


# ----------------------------------------------------------------- phone art
def phone(c, x, y, w, h):
    """Phone body; returns the screen box."""
    c.rect((x, y, x + w, y + h), w * 0.16, rgba(INK))
    m = w * 0.055
    sx0, sy0, sx1, sy1 = x + m, y + m, x + w - m, y + h - m
    c.rect((sx0, sy0, sx1, sy1), w * 0.12, rgba(WHITE))
    # notch and side button
    c.rect((x + w * 0.36, sy0 - 1, x + w * 0.64, sy0 + w * 0.075), w * 0.04, rgba(INK))
    c.rect((x + w - 2, y + h * 0.20, x + w + 4, y + h * 0.30), 3, rgba(INK))
    return sx0, sy0, sx1, sy1


def screen_rows(c, sx0, y, sx1, n, icons=True, checks=0):
    """A list of rows on a phone screen (icon dot + two grey bars)."""
    row_h = 46
    cols = [LINK_BLUE, GREEN, ORANGE, CORAL, YELLOW_DEEP]
    for i in range(n):
        ry = y + i * row_h
        if icons:
            c.rect((sx0 + 16, ry + 6, sx0 + 48, ry + 38), 9, rgba(mix(cols[i % 5], WHITE, 0.15)))
        bx = sx0 + (60 if icons else 18)
        c.rect((bx, ry + 10, sx1 - 52, ry + 20), 5, rgba(LINE_GREY))
        c.rect((bx, ry + 27, bx + (sx1 - 52 - bx) * (0.55 + 0.1 * (i % 3)), ry + 35), 4,
               rgba(mix(LINE_GREY, WHITE, 0.4)))
        if i < checks:
            c.circle(sx1 - 28, ry + 22, 12, rgba(GREEN))
            glyph_check(c, sx1 - 28, ry + 23, 12, rgba(WHITE), 3.2)


def card(c, x, y, w, h, r=18):
    c.rect((x, y, x + w, y + h), r, rgba(WHITE))


# ------------------------------------------------------- banner illustrations
def art_welcome(W, H):
    c = Canvas(W, H)
    px, py, pw, ph = 866, 92, 188, 356
    sx0, sy0, sx1, sy1 = phone(c, px, py, pw, ph)
    # screen: big restore badge and recovered items
    c.circle((sx0 + sx1) / 2, sy0 + 80, 46, rgba(YELLOW))
    glyph_restore(c, (sx0 + sx1) / 2, sy0 + 81, 23, rgba(INK), 7.5)
    screen_rows(c, sx0, sy0 + 150, sx1, 3, checks=3)
    layer = c.image()
    base = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    over(base, layer, (14, (10, 16), 90))
    # floating data tiles around the phone
    t = Canvas(W, H)
    card(t, 758, 128, 120, 120, 26)
    glyph_photo(t, 776, 146, 84, rgba(mix(LINK_BLUE, WHITE, 0.85)), rgba(LINK_BLUE), rgba(ORANGE))
    card(t, 1040, 150, 104, 104, 24)
    glyph_chat(t, 1056, 166, 72, rgba(mix(GREEN, WHITE, 0.85)), rgba(GREEN))
    card(t, 776, 296, 96, 96, 22)
    glyph_contact(t, 791, 311, 66, rgba(mix(ORANGE, WHITE, 0.85)), rgba(ORANGE))
    card(t, 1058, 318, 88, 88, 20)
    glyph_note(t, 1071, 331, 62, rgba(mix(CORAL, WHITE, 0.85)), rgba(CORAL))
    over(base, t.image(), (12, (6, 12), 70))
    return base


def art_installing(W, H):
    """A laptop receiving the program: download ring on its screen."""
    base = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    c = Canvas(W, H)
    lx, ly, lw, lh = 742, 150, 400, 262
    c.rect((lx, ly, lx + lw, ly + lh), 22, rgba(INK))
    c.rect((lx + 14, ly + 14, lx + lw - 14, ly + lh - 14), 12, rgba(WHITE))
    c.rect((lx - 44, ly + lh, lx + lw + 44, ly + lh + 26), 12, rgba(mix(INK, WHITE, 0.18)))
    c.rect((lx + lw / 2 - 50, ly + lh, lx + lw / 2 + 50, ly + lh + 10), 5, rgba(INK))
    # screen: progress ring with a download arrow, and file rows
    cx, cy = lx + 128, ly + lh / 2
    c.arc(cx, cy, 62, 0, 360, rgba(LINE_GREY), 14)
    c.arc(cx, cy, 62, -90, 150, rgba(YELLOW), 14)
    c.line([(cx, cy - 26), (cx, cy + 18)], rgba(INK), 10)
    c.polygon([(cx - 24, cy + 2), (cx + 24, cy + 2), (cx, cy + 30)], rgba(INK))
    c.rect((cx - 26, cy + 36, cx + 26, cy + 44), 4, rgba(INK))
    screen_rows(c, lx + 205, ly + 58, lx + lw - 10, 3, icons=False, checks=2)
    over(base, c.image(), (16, (10, 18), 80))
    # the phone beside it, connected
    p = Canvas(W, H)
    sx0, sy0, sx1, sy1 = phone(p, 1040, 300, 116, 224)
    p.circle((sx0 + sx1) / 2, sy0 + 62, 30, rgba(YELLOW))
    glyph_restore(p, (sx0 + sx1) / 2, sy0 + 62, 15, rgba(INK), 5)
    for i in range(3):
        p.rect((sx0 + 14, sy0 + 118 + i * 26, sx1 - 14, sy0 + 130 + i * 26), 6, rgba(LINE_GREY))
    over(base, p.image(), (12, (8, 14), 80))
    return base


def art_copying(W, H):
    """Documents flying into an open folder."""
    base = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    fx, fy, fw, fh = 850, 270, 300, 220
    back = Canvas(W, H)
    back.rect((fx, fy - 34, fx + 120, fy + 20), 16, rgba(INK))
    back.rect((fx, fy, fx + fw, fy + fh), 22, rgba(INK))
    over(base, back.image(), (16, (10, 18), 80))
    docs = Canvas(W, H)
    cols = [LINK_BLUE, GREEN, ORANGE]
    spots = [(880, 150, -10), (960, 118, 0), (1044, 150, 9)]
    for (dx, dy, _), col in zip(spots, cols):
        docs.rect((dx, dy, dx + 120, dy + 156), 14, rgba(WHITE))
        docs.rect((dx + 18, dy + 22, dx + 50, dy + 54), 8, rgba(mix(col, WHITE, 0.1)))
        for i in range(4):
            docs.rect((dx + 18, dy + 70 + i * 18, dx + 102 - (i % 2) * 26, dy + 78 + i * 18), 4,
                      rgba(LINE_GREY))
    over(base, docs.image(), (10, (4, 10), 70))
    front = Canvas(W, H)
    front.polygon([(fx - 14, fy + 74), (fx + fw + 14, fy + 74),
                   (fx + fw - 4, fy + fh - 20), (fx + 4, fy + fh - 20)], rgba(WHITE))
    front.rect((fx + 4, fy + 140, fx + fw - 4, fy + fh), 22, rgba(WHITE))
    front.rect((fx + fw / 2 - 48, fy + 114, fx + fw / 2 + 48, fy + 128), 7, rgba(YELLOW))
    over(base, front.image(), (12, (0, 8), 60))
    # motion marks and a small arrow into the folder
    m = Canvas(W, H)
    for i, (x0, y0) in enumerate([(770, 170), (760, 214), (784, 258)]):
        m.line([(x0, y0), (x0 + 70 - i * 16, y0)], rgba(WHITE, 230), 10)
    over(base, m.image(), (8, (3, 6), 50))
    return base


def art_finishing(W, H):
    """A shield with a check mark among sparkles: safe and nearly done."""
    base = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    c = Canvas(W, H)
    cx, top = 960, 120
    sw, sh = 300, 360

    def bez(p0, p1, p2, p3, n=40):
        return [tuple((1 - t) ** 3 * a + 3 * (1 - t) ** 2 * t * b_ + 3 * (1 - t) * t * t * c_ + t ** 3 * d
                      for a, b_, c_, d in zip(p0, p1, p2, p3))
                for t in (i / n for i in range(n + 1))]

    def shield(cv, inset, col):
        # right half: shoulder dip, straight flank, curve into the point
        x0, x1 = cx, cx + sw / 2 - inset
        y0, yb = top + inset, top + sh - inset * 1.4
        right = (bez((x0, y0 + 10), (x0 + 60, y0 + 30), (x1 - 40, y0 - 4), (x1, y0 + 22))
                 + bez((x1, y0 + 22), (x1, y0 + 150), (x1 - 20, yb - 90), (x0, yb)))
        left = [(2 * cx - x, y) for x, y in reversed(right)]
        cv.polygon(right + left, col)

    shield(c, 0, rgba(INK))
    shield(c, 18, rgba(WHITE))
    c.circle(cx, top + 150, 74, rgba(YELLOW))
    glyph_check(c, cx + 2, top + 152, 64, rgba(INK), 16)
    over(base, c.image(), (16, (10, 18), 80))
    s = Canvas(W, H)
    for x0, y0, r in [(780, 170, 18), (1150, 230, 14), (800, 400, 12), (1130, 430, 20),
                      (1176, 130, 9)]:
        s.polygon([(x0, y0 - r * 1.6), (x0 + r * 0.4, y0 - r * 0.4), (x0 + r * 1.6, y0),
                   (x0 + r * 0.4, y0 + r * 0.4), (x0, y0 + r * 1.6), (x0 - r * 0.4, y0 + r * 0.4),
                   (x0 - r * 1.6, y0), (x0 - r * 0.4, y0 - r * 0.4)], rgba(WHITE))
    base.alpha_composite(s.image())
    return base


def art_updating(W, H):
    """A phone inside two chasing arrows: the update cycle."""
    base = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    cx, cy, R = 960, 300, 190
    ring = Canvas(W, H)
    for a0 in (200, 20):
        ring.arc(cx, cy, R, a0, a0 + 130, rgba(WHITE), 22)
        a = math.radians(a0 + 130)
        ex, ey = cx + R * math.cos(a), cy + R * math.sin(a)
        tx, ty = -math.sin(a), math.cos(a)   # clockwise tangent
        nx, ny = math.cos(a), math.sin(a)
        L = 30
        ring.polygon([(ex + tx * L * 1.3, ey + ty * L * 1.3),
                      (ex + nx * L - tx * L * 0.3, ey + ny * L - ty * L * 0.3),
                      (ex - nx * L - tx * L * 0.3, ey - ny * L - ty * L * 0.3)], rgba(WHITE))
    over(base, ring.image(), (10, (4, 8), 50))
    c = Canvas(W, H)
    sx0, sy0, sx1, sy1 = phone(c, cx - 96, cy - 186, 192, 372)
    mx = (sx0 + sx1) / 2
    c.circle(mx, sy0 + 92, 50, rgba(YELLOW))
    c.line([(mx, sy0 + 114), (mx, sy0 + 72)], rgba(INK), 10)
    c.polygon([(mx - 24, sy0 + 82), (mx + 24, sy0 + 82), (mx, sy0 + 56)], rgba(INK))
    c.rect((sx0 + 24, sy0 + 170, sx1 - 24, sy0 + 184), 7, rgba(LINE_GREY))
    c.rect((sx0 + 24, sy0 + 170, sx0 + 24 + (sx1 - sx0 - 48) * 0.62, sy0 + 184), 7,
           rgba(YELLOW))
    screen_rows(c, sx0, sy0 + 214, sx1, 3, checks=1)
    over(base, c.image(), (16, (10, 18), 90))
    return base


ART = {
    "welcome": art_welcome,
    "installing": art_installing,
    "installing_alt1": art_copying,
    "installing_alt2": art_finishing,
    "updating": art_updating,
}


# ---------------------------------------------------------------- banners
def grain(img, seed, k):
    """Adds a faint +-1 luminance grain to a share 2k/256 of the pixels.

    It keeps the large gradients from banding; the seed makes it repeatable."""
    w, h = img.size
    rnd = random.Random(seed)
    n = Image.frombytes("L", (w, h), rnd.randbytes(w * h))
    n = n.point([0 if v < k else 2 if v >= 256 - k else 1 for v in range(256)])
    rgb = ImageChops.add(img.convert("RGB"), Image.merge("RGB", (n, n, n)), 1.0, -1)
    rgb.putalpha(img.getchannel("A"))
    return rgb


GRAIN = 5


def background(W, H, seed):
    bg = gradient(W, H, [(0.0, (0xFF, 0xE3, 0x5C)), (0.55, YELLOW), (1.0, (0xFF, 0xC6, 0x0D))], 28)
    # soft lights behind the illustration and in the corner
    bg.alpha_composite(radial_glow(W, H, 960, H * 0.55, 720, WHITE, 150))
    bg.alpha_composite(radial_glow(W, H, 80, H + 40, 520, (0xFF, 0xF1, 0xA8), 110))
    deco = Canvas(W, H, 2)
    deco.circle(1210, -40, 190, rgba(WHITE, 40))
    deco.circle(-60, H + 10, 170, rgba(WHITE, 34))
    deco.circle(700, H - 30, 44, rgba(WHITE, 50))
    # a dotted grid above the text, a quiet texture of 'data'
    for i in range(7):
        for j in range(4):
            deco.circle(530 + i * 22, 104 + j * 22, 3.2, rgba(WHITE, 120))
    bg.alpha_composite(deco.image())
    # a faint line where the banner meets the white window body
    edge = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    ImageDraw.Draw(edge).rectangle((0, H - 2, W, H), fill=rgba(YELLOW_DEEP, 140))
    bg.alpha_composite(edge)
    return grain(bg, seed, GRAIN)


def pill(img, x, y, label, lang):
    f = font("Bold", 22 if lang == "en" else 24)
    tw = f.getlength(label)
    h = 44
    c = Canvas(img.width, img.height, 2)
    c.rect((x, y, x + tw + 44, y + h), h / 2, rgba(INK))
    c.circle(x + 22, y + h / 2, 5, rgba(YELLOW))
    img.alpha_composite(c.image())
    text(img, (x + 36, y + h / 2), label, f, rgba(WHITE), "lm")
    return h


def banner(kind, lang, W, H):
    img = background(W, H, zlib.crc32(("%s/%s" % (kind, lang)).encode()))
    over_art = ART[kind](W, H)
    img.alpha_composite(over_art)
    tag, line = TEXTS[kind][lang]
    x = 64
    max_w = 640
    name_f = font("Bold", 56 if lang == "zh" else 50)
    body_f = font("Regular", 28 if lang == "zh" else 27)
    body_lines = wrap(line, body_f, max_w - 40)
    # vertical centring of the text block below the 80 px title strip
    block = 44 + 28 + 70 + 20 + 44 * len(body_lines)
    top = 80 + max(0, (H - 80 - block) // 2) - 6
    pill(img, x, top, tag, lang)
    y = top + 44 + 28
    text(img, (x - 2, y + 56), NAME[lang], name_f, rgba(INK), "ls")
    # a short yellow-on-ink underline accent
    acc = Canvas(W, H, 2)
    acc.rect((x, y + 80, x + 64, y + 88), 4, rgba(INK))
    img.alpha_composite(acc.image())
    y += 110
    for ln in body_lines:
        text(img, (x, y + 30), ln, body_f, rgba(INK, 225), "ls")
        y += 44
    return img


# -------------------------------------------------------------------- logo
def logo(S=1024):
    base = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    # tile: rounded square with a warm gradient, inset so the soft shadow fits
    m = 56
    tile_mask = Canvas(S, S)
    tile_mask.rect((m, m, S - m, S - m), 210, rgba(WHITE))
    tm = tile_mask.image()
    grad = gradient(S, S, [(0.0, (0xFF, 0xE2, 0x55)), (0.6, YELLOW), (1.0, (0xFF, 0xBF, 0x00))], 60)
    tile = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    tile.paste(grad, (0, 0), tm.getchannel("A"))
    over(base, tile, (18, (0, 14), 70))
    # a light sheen over the upper half of the tile
    sheen = radial_glow(S, S, S * 0.32, S * 0.22, 820, WHITE, 90)
    sheen.putalpha(ImageChops.multiply(sheen.getchannel("A"), tm.getchannel("A")))
    base.alpha_composite(sheen)
    # phone
    c = Canvas(S, S)
    pw, ph = 400, 640
    px, py = (S - pw) / 2 - 40, (S - ph) / 2
    c.rect((px, py, px + pw, py + ph), 92, rgba(INK))
    sx0, sy0, sx1, sy1 = px + 30, py + 30, px + pw - 30, py + ph - 30
    c.rect((sx0, sy0, sx1, sy1), 66, rgba(WHITE))
    c.rect((px + pw * 0.34, sy0 - 2, px + pw * 0.66, sy0 + 30), 16, rgba(INK))
    glyph_photo(c, sx0 + 62, sy0 + 92, sx1 - sx0 - 124, rgba(mix(LINK_BLUE, WHITE, 0.82)),
                rgba(LINK_BLUE), rgba(ORANGE))
    for i in range(2):
        y = sy0 + 380 + i * 62
        c.rect((sx0 + 44, y, sx1 - 44 - i * 80, y + 26), 13, rgba(LINE_GREY))
    over(base, c.image(), (22, (8, 20), 110))
    # restore badge overlapping the phone's lower right
    b = Canvas(S, S)
    bx, by, br = px + pw + 10, py + ph - 150, 170
    b.circle(bx, by, br + 22, rgba(YELLOW))
    b.circle(bx, by, br, rgba(INK))
    glyph_restore(b, bx, by, 84, rgba(YELLOW), 27)
    over(base, b.image(), (16, (6, 14), 90))
    return base


# ---------------------------------------------------------------- small UI
def close_button(state):
    S = 60
    c = Canvas(S, S, 8)
    if state == "hover":
        c.circle(30, 30, 24, rgba(INK, 28))
    elif state == "pressed":
        c.circle(30, 30, 24, rgba(INK, 56))
    d = 9.5
    c.line([(30 - d, 30 - d), (30 + d, 30 + d)], rgba(INK), 3.6)
    c.line([(30 + d, 30 - d), (30 - d, 30 + d)], rgba(INK), 3.6)
    return c.image()


def warning_sign():
    c = Canvas(40, 40, 8)
    c.circle(20, 20, 19, rgba(ORANGE))
    c.line([(20, 10), (20, 23)], rgba(WHITE), 4.2)
    c.circle(20, 29.5, 2.5, rgba(WHITE))
    return c.image()


def headset():
    c = Canvas(28, 28, 8)
    col = rgba(INK)
    c.arc(14, 14.5, 9.5, 180, 360, col, 2.6)          # head band
    c.rect((3.0, 13.5, 8.6, 21.5), 2.4, col)          # left ear cup
    c.rect((19.4, 13.5, 25.0, 21.5), 2.4, col)        # right ear cup
    c.arc(14, 17.0, 8.0, 20, 90, col, 2.0)            # microphone boom
    c.rect((11.2, 23.4, 16.2, 26.4), 1.5, col)        # microphone
    # ensure the band and the cups join smoothly
    c.line([(4.5, 14.5), (4.5, 15.0)], col, 2.6)
    c.line([(23.5, 14.5), (23.5, 15.0)], col, 2.6)
    return c.image()


def check_box(on):
    c = Canvas(32, 32, 8)
    if on:
        c.rect((2, 2, 30, 30), 6, rgba(YELLOW), outline=rgba(YELLOW_DEEP), width=2)
        glyph_check(c, 16, 16.5, 16, rgba(INK), 3.4)
    else:
        c.rect((2, 2, 30, 30), 6, rgba(WHITE), outline=rgba(BOX_GREY), width=2)
    return c.image()


def chevron(up):
    c = Canvas(32, 32, 8)
    if up:
        pts = [(8.5, 20), (16, 12.5), (23.5, 20)]
    else:
        pts = [(8.5, 12.5), (16, 20), (23.5, 12.5)]
    c.line(pts, rgba(LINK_BLUE), 3.2)
    return c.image()


# -------------------------------------------------------------------- output
def save_png(img, path):
    assert img.mode == "RGBA"
    # No pnginfo: PIL then writes no text or time chunks.
    img.save(path, "PNG", optimize=True)


def write_ico(logo_img, path, sizes=(256, 128, 64, 48, 32, 24, 16)):
    """Icon file: PNG for 256 px, 32-bit DIBs with an AND mask below that."""
    entries, blobs = [], []
    for s in sizes:
        im = logo_img.resize((s, s), Image.LANCZOS)
        if s <= 48:
            # small sizes lose contrast when reduced; sharpen them a little
            rgb = im.filter(ImageFilter.UnsharpMask(radius=0.6, percent=60, threshold=0))
            rgb.putalpha(im.getchannel("A"))
            im = rgb
        if s == 256:
            buf = io.BytesIO()
            im.save(buf, "PNG", optimize=True)
            data = buf.getvalue()
        else:
            rows = []
            px = im.load()
            for y in range(s - 1, -1, -1):
                rows.append(b"".join(struct.pack("BBBB", px[x, y][2], px[x, y][1],
                                                 px[x, y][0], px[x, y][3]) for x in range(s)))
            stride = ((s + 31) // 32) * 4
            mask = []
            for y in range(s - 1, -1, -1):
                bits = bytearray(stride)
                for x in range(s):
                    if px[x, y][3] == 0:
                        bits[x // 8] |= 0x80 >> (x % 8)
                mask.append(bytes(bits))
            header = struct.pack("<IiiHHIIiiII", 40, s, 2 * s, 1, 32, 0,
                                 s * s * 4 + stride * s, 0, 0, 0, 0)
            data = header + b"".join(rows) + b"".join(mask)
        entries.append(s)
        blobs.append(data)
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(entries, blobs):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(blobs)
    with open(path, "wb") as f:
        f.write(out)


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: skin.py OUTPUT_DIR")
    out = argv[1]
    os.makedirs(out, exist_ok=True)

    def put(img, name):
        save_png(img, os.path.join(out, name))

    for kind in ("welcome", "installing", "installing_alt1", "installing_alt2", "updating"):
        H = 472 if kind == "welcome" else 564
        for lang in ("zh", "en"):
            put(banner(kind, lang, 1200, H), "banner_%s_%s.png" % (kind, lang))
    lg = logo()
    put(lg, "logo.png")
    write_ico(lg, os.path.join(out, "app.ico"))
    put(warning_sign(), "warning.png")
    for state in ("normal", "hover", "pressed"):
        put(close_button(state), "close_%s.png" % state)
    put(headset(), "contact.png")
    put(check_box(False), "check_off.png")
    put(check_box(True), "check_on.png")
    put(chevron(False), "chevron_down.png")
    put(chevron(True), "chevron_up.png")


if __name__ == "__main__":
    main(sys.argv)
