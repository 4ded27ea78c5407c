#!/usr/bin/python3
"""Generate the installer's skin images and the application icon source.

Writes every image that the layouts in res/skin name (PNG buttons, icons,
backgrounds and the animated movie.gif) and res/icon/velto.png.
The output is deterministic: all randomness uses fixed seeds, so re-running
the script reproduces the committed files byte for byte on the same Pillow.

PNGs are then recompressed losslessly with zopfli (Debian's zopfli package),
keeping their colour type; --recompress does only that, to the committed PNGs.

Usage:  /usr/bin/python3 tools/skingen/skingen.py [--no-movie | --recompress]
"""

import argparse
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SKIN_DIR = os.path.join(ROOT, "res", "skin")
ICON_DIR = os.path.join(ROOT, "res", "icon")

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
LOGO_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf"

# Brand colours.
BG = (11, 9, 25)            # window background  #0B0919
EDIT_BG = (18, 15, 41)      # path edit background  #120F29
EDIT_BORDER = (68, 146, 223)  # path edit border  #4492DF
BLUE = (47, 107, 255)
CYAN = (38, 212, 253)
WHITE = (255, 255, 255)

SS = 4  # supersampling factor for anti-aliased vector shapes
# Pixels per layout unit. Sizes, coordinates and text sizes below are layout
# units; the primitives multiply them, so the same drawing code gives the
# 1x images and their "@2x" renderings for displays above 96 DPI.
K = 1


def sz(size):
    return (size[0] * K, size[1] * K)


def blank(size, color=(0, 0, 0, 0)):
    return Image.new("RGBA", sz(size), color)


# ---------------------------------------------------------------- helpers

def mix(a, b, t):
    """Linear blend of two RGB tuples, t in [0, 1]."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def brighten(c, t):
    return mix(c, WHITE, t)


def ramp(stops, t):
    """Colour at t on a piecewise-linear ramp [(pos, rgb), ...]."""
    t = min(max(t, 0.0), 1.0)
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, 0.0 if p1 == p0 else (t - p0) / (p1 - p0))
    return stops[-1][1]


def h_gradient(size, stops):
    size = sz(size)
    w = size[0]
    line = Image.new("RGB", (w, 1))
    line.putdata([ramp(stops, x / max(w - 1, 1)) for x in range(w)])
    return line.resize(size, Image.NEAREST)


def v_gradient(size, stops):
    size = sz(size)
    h = size[1]
    col = Image.new("RGB", (1, h))
    col.putdata([ramp(stops, y / max(h - 1, 1)) for y in range(h)])
    return col.resize(size, Image.NEAREST)


def v_alpha(size, stops):
    """Vertical ramp of an L channel; stops are (pos, value 0..255)."""
    size = sz(size)
    h = size[1]
    col = Image.new("L", (1, h))
    vals = []
    for y in range(h):
        t = y / max(h - 1, 1)
        for (p0, a0), (p1, a1) in zip(stops, stops[1:]):
            if t <= p1:
                f = 0.0 if p1 == p0 else (t - p0) / (p1 - p0)
                vals.append(int(round(a0 + (a1 - a0) * f)))
                break
        else:
            vals.append(stops[-1][1])
    col.putdata(vals)
    return col.resize(size, Image.NEAREST)


def solid(size, color):
    return Image.new("RGB", sz(size), color)


def scale_l(mask, factor):
    return mask.point(lambda v: int(round(v * factor)))


def rounded_mask(size, radius, inset=0.0):
    """Anti-aliased rounded-rectangle coverage mask."""
    w, h = sz(size)
    big = Image.new("L", (w * SS, h * SS), 0)
    i = inset * K * SS
    ImageDraw.Draw(big).rounded_rectangle(
        (i, i, w * SS - 1 - i, h * SS - 1 - i), radius=radius * K * SS, fill=255)
    return big.resize((w, h), Image.LANCZOS)


def outline_mask(size, radius, width):
    outer = rounded_mask(size, radius)
    inner = rounded_mask(size, max(radius - width, 0), inset=width)
    return ImageChops.subtract(outer, inner)


def shape_mask(size, draw_fn):
    """Render draw_fn(draw, s) on a supersampled L canvas; s scales coords."""
    w, h = sz(size)
    big = Image.new("L", (w * SS, h * SS), 0)
    draw_fn(ImageDraw.Draw(big), SS * K)
    return big.resize((w, h), Image.LANCZOS)


def paint(base, color_or_image, mask):
    """Alpha-composite a colour (or RGB image) through mask onto RGBA base."""
    if isinstance(color_or_image, tuple):
        layer = Image.new("RGBA", base.size, color_or_image + (0,))
    else:
        layer = color_or_image.convert("RGBA")
    layer.putalpha(mask)
    return Image.alpha_composite(base, layer)


def font(size, path=CJK_FONT):
    return ImageFont.truetype(path, size)


def text_mask(size, text, size_px, offset=(0, 0), path=CJK_FONT, spacing=0,
              weight=0):
    """Text centred on its ink box; spacing adds pixels between characters.

    weight > 0 thickens each stroke edge by weight/3 pixel (the CJK face
    has only a regular weight): the text is drawn three times larger,
    dilated and scaled down.
    """
    return text_mask_px(sz(size), text, size_px * K, (offset[0] * K, offset[1] * K),
                        path, spacing * K, weight * K)


def text_mask_px(size, text, size_px, offset=(0, 0), path=CJK_FONT, spacing=0,
                 weight=0):
    """text_mask in pixels."""
    if weight:
        w, h = size
        big = text_mask_px((w * 3, h * 3), text, size_px * 3,
                           (offset[0] * 3, offset[1] * 3), path, spacing * 3)
        big = big.filter(ImageFilter.MaxFilter(2 * weight + 1))
        return big.resize(size, Image.LANCZOS)
    f = font(size_px, path)
    mask = Image.new("L", size, 0)
    d = ImageDraw.Draw(mask)
    if spacing:
        widths = [d.textlength(ch, font=f) for ch in text]
        total = sum(widths) + spacing * (len(text) - 1)
        top, bottom = d.textbbox((0, 0), text, font=f)[1::2]
        x = (size[0] - total) / 2 + offset[0]
        y = round((size[1] - (bottom - top)) / 2 - top + offset[1])
        for ch, cw in zip(text, widths):
            d.text((round(x), y), ch, font=f, fill=255)
            x += cw + spacing
        return mask
    l, t, r, b = d.textbbox((0, 0), text, font=f)
    x = round((size[0] - (r - l)) / 2 - l + offset[0])
    y = round((size[1] - (b - t)) / 2 - t + offset[1])
    d.text((x, y), text, font=f, fill=255)
    return mask


def png_chunks(data):
    chunks, i = [], 8
    while i < len(data):
        length, kind = struct.unpack(">I4s", data[i:i + 8])
        chunks.append((kind, data[i + 8:i + 8 + length]))
        i += 12 + length
    return chunks


def png_from_chunks(chunks):
    out = bytearray(b"\x89PNG\r\n\x1a\n")
    for kind, body in chunks:
        out += struct.pack(">I", len(body)) + kind + body
        out += struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    return bytes(out)


def colour_type(data):
    return png_chunks(data)[0][1][8:10]  # bit depth, colour type


def zopfli_idat(data, work):
    """The same PNG with its filtered rows deflated by zopfli instead of zlib."""
    chunks = png_chunks(data)
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    rows = os.path.join(work, "rows")
    with open(rows, "wb") as f:
        f.write(raw)
    deflated = subprocess.run(["zopfli", "--zlib", "-c", rows], check=True,
                              stdout=subprocess.PIPE).stdout
    head = [c for c in chunks if c[0] not in (b"IDAT", b"IEND")]
    return png_from_chunks(head + [(b"IDAT", deflated), (b"IEND", b"")])


def recompress_png(path):
    """Rewrites PATH smaller with zopfli when the decoded pixels stay the same.

    The colour type stays, so the toolkit's decoder (GDI+) gets the format it
    got before: zopflipng's result counts only where it keeps it, or where it
    turns an opaque image into RGB without alpha; otherwise Pillow's rows are
    deflated again by zopfli.
    """
    if not (shutil.which("zopflipng") and shutil.which("zopfli")):
        print("zopfli missing (apt-get install zopfli): %s left as Pillow wrote it" % path)
        return
    with open(path, "rb") as f:
        original = f.read()
    with Image.open(path) as img:
        pixels = img.convert("RGBA").tobytes()
        opaque = img.convert("RGBA").getextrema()[3] == (255, 255)
    best = original
    with tempfile.TemporaryDirectory() as work:
        candidates = [zopfli_idat(original, work)]
        out = os.path.join(work, "z.png")
        subprocess.run(["zopflipng", "-y", "-m", path, out], check=True,
                       stdout=subprocess.DEVNULL)
        with open(out, "rb") as f:
            candidates.append(f.read())
        for data in candidates:
            kind = colour_type(data)
            if kind != colour_type(original) and not (opaque and kind == b"\x08\x02"):
                continue
            tmp = os.path.join(work, "check.png")
            with open(tmp, "wb") as f:
                f.write(data)
            with Image.open(tmp) as check:
                same = check.convert("RGBA").tobytes() == pixels
            if same and len(data) < len(best):
                best = data
    if best is not original:
        with open(path, "wb") as f:
            f.write(best)


def save_png(img, name, directory=SKIN_DIR):
    path = os.path.join(directory, name)
    img.save(path, "PNG", optimize=True)
    recompress_png(path)
    return path


# ---------------------------------------------------------------- buttons

def gradient_face(size, hover):
    """Blue-to-cyan face with a soft top sheen; hover is lifted towards white."""
    lift = 0.12 if hover else 0.0
    face = h_gradient(size, [(0.0, brighten(BLUE, lift)),
                             (1.0, brighten((30, 190, 245), lift))])
    sheen = v_alpha(size, [(0.0, 70 if hover else 48), (0.5, 0), (1.0, 0)])
    face = Image.composite(solid(size, WHITE), face, sheen)
    shade = v_alpha(size, [(0.0, 0), (0.6, 0), (1.0, 36)])
    return Image.composite(solid(size, (10, 30, 110)), face, shade)


def gradient_button(size, label, text_px, hover):
    radius = size[1] / 2
    img = blank(size)
    img = paint(img, gradient_face(size, hover), rounded_mask(size, radius))
    # A thin light rim makes the edge crisp on the dark window.
    rim = scale_l(outline_mask(size, radius, 1), 0.35 if hover else 0.22)
    img = paint(img, WHITE, rim)
    shadow = scale_l(text_mask(size, label, text_px, offset=(0, 1), weight=1), 0.35)
    img = paint(img, (8, 30, 100), shadow)
    return paint(img, WHITE, text_mask(size, label, text_px, weight=1))


def outline_button(size, label, text_px, fill, radius=None, border=WHITE,
                   text=WHITE, border_alpha=1.0):
    """Dark face with a one-pixel outline; a pill unless radius is given."""
    radius = size[1] / 2 if radius is None else radius
    img = blank(size)
    img = paint(img, fill, rounded_mask(size, radius))
    img = paint(img, border, scale_l(outline_mask(size, radius, 1), border_alpha))
    return paint(img, text, text_mask(size, label, text_px, weight=1))


def make_buttons():
    out = {}
    for hover in (False, True):
        sfx = "_on" if hover else ""
        out["Installbtn%s.png" % sfx] = gradient_button((138, 44), "安装", 18, hover)
        out["startBtn%s.png" % sfx] = gradient_button((138, 44), "立即体验", 18, hover)
        out["cancelbtn%s.png" % sfx] = gradient_button((138, 44), "取消", 17, hover)
        out["confirmbtn%s.png" % sfx] = gradient_button((120, 40), "好的", 16, hover)
        out["okbtn%s.png" % sfx] = outline_button(
            (139, 44), "确定", 17,
            fill=(44, 49, 72) if hover else (28, 31, 48),
            border_alpha=1.0 if hover else 0.78)
        out["browser%s.png" % sfx] = outline_button(
            (90, 36), "自定义", 14, radius=4,
            fill=(38, 34, 92) if hover else (26, 23, 62),
            border=(96, 176, 255) if hover else EDIT_BORDER,
            text=WHITE if hover else (214, 226, 255))
    return out


# ---------------------------------------------------------------- glyph icons

def glyph(size, color, draw_fn, alpha=1.0):
    img = blank(size, color + (0,))
    img.putalpha(scale_l(shape_mask(size, draw_fn), alpha))
    return img


def close_icon():
    def draw(d, s):
        w = 1.7 * s
        d.line((10 * s, 10 * s, 20 * s, 20 * s), fill=255, width=round(w))
        d.line((20 * s, 10 * s, 10 * s, 20 * s), fill=255, width=round(w))
    return glyph((30, 30), (196, 202, 222), draw)


def chevron(down, color, alpha):
    def draw(d, s):
        y0, y1 = (7, 11.5) if down else (11.5, 7)
        pts = [(4.5 * s, y0 * s), (9 * s, y1 * s), (13.5 * s, y0 * s)]
        d.line(pts, fill=255, width=round(1.6 * s), joint="curve")
        for x, y in (pts[0], pts[2]):  # round caps
            r = 0.8 * s
            d.ellipse((x - r, y - r, x + r, y + r), fill=255)
    return glyph((18, 18), color, draw, alpha)


def tick_points(s, box):
    """A check mark inside box (x0, y0, x1, y1), in supersampled units."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    return [((x0 + 0.18 * w) * s, (y0 + 0.52 * h) * s),
            ((x0 + 0.42 * w) * s, (y0 + 0.74 * h) * s),
            ((x0 + 0.82 * w) * s, (y0 + 0.28 * h) * s)]


def stroke(d, pts, width, s):
    d.line(pts, fill=255, width=round(width * s), joint="curve")
    r = width * s / 2
    for x, y in (pts[0], pts[-1]):
        d.ellipse((x - r, y - r, x + r, y + r), fill=255)


def checkbox(checked):
    size = (14, 14)
    img = blank(size)
    if checked:
        img = paint(img, gradient_face(size, False), rounded_mask(size, 3))
        img = paint(img, WHITE, shape_mask(
            size, lambda d, s: stroke(d, tick_points(s, (1, 1, 13, 13)), 1.6, s)))
    else:
        img = paint(img, EDIT_BG, rounded_mask(size, 3))
        img = paint(img, (110, 124, 170), outline_mask(size, 3, 1))
    return img


def diagonal_gradient(size, c0, c1):
    """Gradient from the top-left corner to the bottom-right corner."""
    w, h = size
    big = h_gradient((w * 2, 1), [(0.0, c0), (1.0, c1)]).resize((w * 2, h * 2))
    return big.rotate(-45, resample=Image.BICUBIC, expand=False).crop(
        (w // 2, h // 2, w // 2 + w, h // 2 + h))


def download_icon():
    size = (22, 22)

    def draw(d, s):
        stroke(d, [(11 * s, 3 * s), (11 * s, 13.5 * s)], 2.0, s)
        stroke(d, [(6.5 * s, 9.5 * s), (11 * s, 14 * s), (15.5 * s, 9.5 * s)], 2.0, s)
        stroke(d, [(4 * s, 18.5 * s), (18 * s, 18.5 * s)], 2.0, s)
    grad = v_gradient(size, [(0.0, CYAN), (1.0, BLUE)])
    return paint(blank(size), grad, shape_mask(size, draw))


def box_icon():
    """An isometric parcel: three shaded faces and a tape line on the lid."""
    size = (22, 22)
    top = [(11, 2), (20, 6.5), (11, 11), (2, 6.5)]
    left = [(2, 6.5), (11, 11), (11, 20.5), (2, 16)]
    right = [(11, 11), (20, 6.5), (20, 16), (11, 20.5)]
    img = blank(size)
    for pts, color in ((left, (36, 96, 230)), (right, (26, 160, 232)),
                       (top, (120, 226, 255))):
        img = paint(img, color, shape_mask(
            size, lambda d, s, p=pts: d.polygon([(x * s, y * s) for x, y in p], fill=255)))
    tape = shape_mask(size, lambda d, s: d.line(
        (6.5 * s, 4.25 * s, 15.5 * s, 8.75 * s), fill=255, width=round(1.4 * s)))
    return paint(img, (235, 250, 255), tape)


def progress_fill():
    size = (10, 22)
    img = h_gradient(size, [(0.0, BLUE), (1.0, CYAN)])
    sheen = v_alpha(size, [(0.0, 20), (0.45, 80), (1.0, 0)])
    return Image.composite(solid(size, WHITE), img, sheen).convert("RGBA")


def make_glyphs():
    return {
        "Close.png": close_icon(),
        "expand.png": chevron(True, WHITE, 0.9),
        "reduce.png": chevron(False, (110, 110, 110), 1.0),
        "unchecked.png": checkbox(False),
        "checked.png": checkbox(True),
        "ic.png": download_icon(),
        "Messageic.png": box_icon(),
        "progress.png": progress_fill(),
    }


# ---------------------------------------------------------------- backdrops

def glow_blob(size, blobs, blur, scale=4):
    """Soft colour clouds: ellipses drawn small, blurred, then enlarged.

    blobs: [(cx, cy, rx, ry, rgb, strength)] in full-size pixel units.
    """
    w, h = size
    sw, sh = w // scale, h // scale
    acc = Image.new("RGB", (sw, sh), (0, 0, 0))
    for cx, cy, rx, ry, color, strength in blobs:
        m = Image.new("L", (sw, sh), 0)
        ImageDraw.Draw(m).ellipse(((cx - rx) / scale, (cy - ry) / scale,
                                   (cx + rx) / scale, (cy + ry) / scale),
                                  fill=int(255 * strength))
        m = m.filter(ImageFilter.GaussianBlur(blur / scale))
        acc = ImageChops.add(acc, ImageChops.multiply(
            Image.merge("RGB", (m, m, m)), solid((sw, sh), color)))
    return acc.resize(size, Image.BICUBIC)


def radial_sprite(radius, color, falloff=2.0):
    """Additive light dot whose intensity falls off as (1 - d/r)^falloff."""
    n = 2 * radius + 1
    m = Image.new("L", (n, n))
    vals = []
    for y in range(n):
        for x in range(n):
            d = math.hypot(x - radius, y - radius) / max(radius, 1)
            v = max(0.0, 1.0 - d) ** falloff
            vals.append(int(round(255 * v)))
    m.putdata(vals)
    return ImageChops.multiply(Image.merge("RGB", (m, m, m)), solid((n, n), color))


def add_at(canvas, sprite, cx, cy, gain=1.0):
    """Add sprite (RGB, light) centred at (cx, cy), clipped to canvas."""
    if gain <= 0:
        return
    if gain < 1.0:
        sprite = sprite.point(lambda v: int(v * gain))
    sw, sh = sprite.size
    x0, y0 = int(round(cx)) - sw // 2, int(round(cy)) - sh // 2
    box = (max(x0, 0), max(y0, 0), min(x0 + sw, canvas.width), min(y0 + sh, canvas.height))
    if box[0] >= box[2] or box[1] >= box[3]:
        return
    part = sprite.crop((box[0] - x0, box[1] - y0, box[2] - x0, box[3] - y0))
    canvas.paste(ImageChops.add(canvas.crop(box), part), box)


def starfield(canvas, rng, count, y_weight, fade=None):
    """Scatter small stars onto canvas (RGB, additive)."""
    w, h = canvas.size
    dot = {r: radial_sprite(r, WHITE, falloff=1.6) for r in (1, 2, 3)}
    for _ in range(count):
        x = rng.uniform(0, w)
        y = h * (rng.random() ** y_weight)
        k = rng.random()
        radius = 1 if k < 0.8 else (2 if k < 0.96 else 3)
        gain = rng.uniform(0.25, 0.9) * (fade(y) if fade else 1.0)
        tint = mix((170, 200, 255), WHITE, rng.random())
        sprite = ImageChops.multiply(dot[radius], solid(dot[radius].size, tint))
        add_at(canvas, sprite, x, y, gain)


def vxbackground2():
    """Plain band below the animation; a faint centre lift behind the status text."""
    size = (800, 140)
    img = solid(size, BG)
    lift = glow_blob(size, [(400, 70, 260, 46, (14, 16, 46), 1.0)], blur=40)
    return ImageChops.add(img, lift).convert("RGBA")


def wordmark(size_px, part="Velto"):
    """'Velto' set in an oblique bold, as an L mask: the ink box plus 4 px.

    part selects a leading part of the word ("V") drawn at the same place,
    for colouring that letter apart from the rest.
    """
    f = font(size_px, LOGO_FONT)
    d = ImageDraw.Draw(Image.new("L", (1, 1)))
    l, t, r, b = d.textbbox((0, 0), "Velto", font=f)
    m = Image.new("L", (r - l + 8, b - t + 8), 0)
    ImageDraw.Draw(m).text((4 - l, 4 - t), part, font=f, fill=255)
    return m


def vxbackground3():
    w, h = size = (800, 500)
    img = v_gradient(size, [(0.0, (14, 11, 38)), (0.5, (12, 10, 31)),
                            (0.78, BG), (1.0, BG)])
    img = ImageChops.add(img, glow_blob(size, [
        (400, 190, 330, 170, (16, 34, 96), 0.62),
        (170, 120, 200, 120, (34, 16, 70), 0.55),
        (640, 150, 180, 110, (6, 44, 74), 0.5),
    ], blur=90))
    rng = random.Random(3)
    starfield(img, rng, 230, 1.0, fade=lambda y: max(0.0, 1.0 - y / 380.0) ** 1.2)

    cx, cy = 400, 182
    img = ImageChops.add(img, glow_blob(size, [(cx, cy, 105, 105, (34, 84, 220), 0.55)], blur=56))
    rgba = img.convert("RGBA")

    def ring(r, width, alpha, start=0, end=360):
        def draw(d, s):
            d.arc(((cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s),
                  start, end, fill=255, width=round(width * s))
        return scale_l(shape_mask(size, draw), alpha)

    rgba = paint(rgba, (90, 150, 255), ring(112, 1, 0.16))
    rgba = paint(rgba, (90, 150, 255), ring(88, 1.2, 0.28))
    # A brighter arc on the inner ring, fading in from its start.
    for i in range(24):
        a0 = 150 + i * 10
        rgba = paint(rgba, CYAN, ring(88, 2, 0.06 + 0.7 * (i / 23) ** 2, a0, a0 + 10.5))
    ex, ey = cx + 88 * math.cos(math.radians(390)), cy + 88 * math.sin(math.radians(390))
    rgba = paint(rgba, WHITE, shape_mask(size, lambda d, s: d.ellipse(
        ((ex - 3) * s, (ey - 3) * s, (ex + 3) * s, (ey + 3) * s), fill=255)))
    dot_glow = radial_sprite(12, (40, 150, 255), falloff=2.2)
    base = rgba.convert("RGB")
    add_at(base, dot_glow, ex, ey)
    rgba = base.convert("RGBA")

    r = 62
    disc = shape_mask(size, lambda d, s: d.ellipse(
        ((cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s), fill=255))
    face = Image.new("RGB", size, BG)
    face.paste(diagonal_gradient((2 * r, 2 * r), (44, 96, 255), (40, 222, 253)),
               (cx - r, cy - r))
    rgba = paint(rgba, face, disc)
    sheen = ImageChops.multiply(disc, v_alpha(size, [(0.0, 0), ((cy - r) / h, 70),
                                                     (cy / h, 0), (1.0, 0)]))
    rgba = paint(rgba, WHITE, sheen)
    tick = shape_mask(size, lambda d, s: stroke(
        d, tick_points(s, (cx - 39, cy - 37, cx + 39, cy + 41)), 10, s))
    rgba = paint(rgba, (10, 40, 120), scale_l(tick.transform(
        size, Image.AFFINE, (1, 0, 0, 0, 1, -3)), 0.35))
    rgba = paint(rgba, WHITE, tick)

    # Status line: small ticked badge followed by the text, centred together.
    text = "安装完成，快去体验"
    f = font(22)
    tw = ImageDraw.Draw(Image.new("L", (1, 1))).textlength(text, font=f)
    badge, gap = 20, 10
    x0 = round((w - (badge + gap + tw)) / 2)
    line_y = 318
    bx0, by0 = x0, line_y - badge // 2
    rgba = paint(rgba, CYAN, shape_mask(size, lambda d, s: d.ellipse(
        (bx0 * s, by0 * s, (bx0 + badge) * s, (by0 + badge) * s), fill=255)))
    rgba = paint(rgba, BG, shape_mask(size, lambda d, s: stroke(
        d, tick_points(s, (bx0 + 3, by0 + 3, bx0 + badge - 3, by0 + badge - 3)), 2.2, s)))
    tm = text_mask((round(tw) + 4, 40), text, 22)
    line = Image.new("L", size, 0)
    line.paste(tm, (x0 + badge + gap - 2, line_y - 20))
    rgba = paint(rgba, WHITE, line)

    # Small brand mark in the caption area.
    wm = wordmark(20)
    mark = Image.new("L", size, 0)
    mark.paste(wm, (20, 14))
    rgba = paint(rgba, WHITE, scale_l(mark, 0.85))
    return rgba


# ---------------------------------------------------------------- movie.gif

MOVIE_SIZE = (800, 360)
MOVIE_FRAMES = 124
MOVIE_DELAY = 5      # hundredths of a second per frame: a 6.2 s loop
HORIZON = 244        # y of the grid floor's horizon
FADE_TOP = 300       # from here the picture melts into the window colour
LOGO_CENTRE = (400, 150)
LOGO_PX = 80


class Orbit:
    """A tilted ellipse around the logo; its lower half passes in front."""

    def __init__(self, cx, cy, rx, ry, tilt_deg):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry
        self.sin_t, self.cos_t = math.sin(math.radians(tilt_deg)), math.cos(math.radians(tilt_deg))

    def point(self, a):
        x, y = self.rx * math.cos(a), self.ry * math.sin(a)
        return (self.cx + x * self.cos_t - y * self.sin_t,
                self.cy + x * self.sin_t + y * self.cos_t)

    @staticmethod
    def in_front(a):
        return math.sin(a) > 0

    def masks(self, size, width, back_gain):
        """Line masks of the back and the front half, brighter towards the viewer."""
        halves = []
        for front in (False, True):
            def draw(d, s, front=front):
                steps = 720
                for k in range(steps):
                    a0, a1 = 2 * math.pi * k / steps, 2 * math.pi * (k + 1) / steps
                    if self.in_front(a0) != front:
                        continue
                    depth = 0.5 + 0.5 * math.sin(a0)   # 0 far .. 1 near
                    v = int(255 * (back_gain + (1 - back_gain) * depth))
                    (x0, y0), (x1, y1) = self.point(a0), self.point(a1)
                    d.line((x0 * s, y0 * s, x1 * s, y1 * s), fill=v, width=round(width * s))
            halves.append(shape_mask(size, draw))
        return halves


class Movie:
    """The hero animation: a Velto wordmark inside two orbits with travelling
    comets, light streaks flying past and a grid floor scrolling towards the
    viewer. Everything moves periodically, so the loop has no seam."""

    def __init__(self):
        self.size = MOVIE_SIZE
        self.n = MOVIE_FRAMES
        rng = random.Random(20240607)
        self.orbits = [Orbit(400, 158, 292, 58, -4.0), Orbit(400, 164, 370, 86, 3.0)]
        # (orbit, start angle, revolutions per loop, gain)
        self.comets = [(0, 0.3, 1, 1.0), (0, 0.3 + math.pi, 1, 0.8), (1, 2.2, -1, 0.75)]
        self.head_glow = radial_sprite(16, (30, 110, 255), falloff=2.4)
        self.head_core = radial_sprite(3, (220, 250, 255), falloff=0.8)
        self.tail_dots = {r: radial_sprite(r, (40, 190, 255), falloff=1.3) for r in (1, 2, 3)}
        self.twinkle_dot = radial_sprite(3, (200, 225, 255), falloff=1.8)
        self.streaks = self._make_streaks(rng)
        self.twinkles = [(rng.uniform(20, 780), rng.uniform(20, HORIZON - 30),
                          rng.choice((1, 2, 3)), rng.uniform(0, 2 * math.pi))
                         for _ in range(26)]
        self.background = self._background(random.Random(7))
        self.logo, self.logo_box, self.logo_mask = self._logo()
        self.front_ring = self._ring_layer(front=True)
        self.floor_fade = self._floor_fade()
        self.bottom_fade = v_alpha(self.size, [(0.0, 0), (FADE_TOP / 360, 0), (1.0, 255)])

    # -- static parts

    def _background(self, rng):
        h = self.size[1]
        img = v_gradient(self.size, [(0.0, (7, 6, 18)), (0.45, (10, 9, 28)),
                                     (HORIZON / h, (13, 12, 38)), (1.0, BG)])
        img = ImageChops.add(img, glow_blob(self.size, [
            (400, 150, 300, 120, (14, 30, 92), 0.6),
            (190, 120, 190, 100, (30, 14, 66), 0.5),
            (620, 120, 170, 90, (6, 40, 72), 0.45),
            (400, HORIZON, 420, 26, (16, 60, 140), 0.6),
        ], blur=70))
        starfield(img, rng, 190, 1.3, fade=lambda y: max(0.0, 1.0 - y / HORIZON))
        img = ImageChops.add(img, self._ring_layer(front=False))
        img = ImageChops.add(img, self._floor_static())
        # Halo behind the wordmark, so the letters float in light.
        halo = Image.new("L", self.size, 0)
        wm = wordmark(LOGO_PX)
        halo.paste(wm, self._logo_origin(wm))
        halo = halo.filter(ImageFilter.GaussianBlur(16))
        return ImageChops.add(img, ImageChops.multiply(
            Image.merge("RGB", (halo,) * 3), solid(self.size, (30, 80, 220))))

    def _ring_layer(self, front):
        layer = Image.new("RGB", self.size, (0, 0, 0))
        for orbit, gain in zip(self.orbits, (0.55, 0.32)):
            mask = orbit.masks(self.size, 1.1, 0.25)[1 if front else 0]
            colour = h_gradient(self.size, [(0.0, (40, 90, 255)), (0.5, (60, 170, 255)),
                                            (1.0, (40, 210, 255))])
            layer = ImageChops.add(layer, ImageChops.multiply(
                Image.merge("RGB", (scale_l(mask, gain),) * 3), colour))
        return layer

    def _floor_fade(self):
        """Where floor lines may show: from the horizon down, soft at the sides."""
        h = self.size[1]
        rows = v_alpha(self.size, [(0.0, 0), (HORIZON / h, 0), ((HORIZON + 20) / h, 200),
                                   (1.0, 255)])
        cols = h_gradient(self.size, [(0.0, (0,) * 3), (0.3, (255,) * 3),
                                      (0.7, (255,) * 3), (1.0, (0,) * 3)]).convert("L")
        return ImageChops.multiply(rows, cols)

    def _floor_static(self):
        """Rays of the grid floor running into the vanishing point, and the horizon line."""
        w, h = self.size

        def draw(d, s):
            for k in range(-12, 13):
                d.line((400 * s, HORIZON * s, (400 + k * 84) * s, (h + 140) * s),
                       fill=150, width=round(1.0 * s))
        rays = ImageChops.multiply(shape_mask(self.size, draw), self._floor_fade())
        # Rays crowd together near the vanishing point; let them fade in.
        rays = ImageChops.multiply(rays, v_alpha(self.size, [
            (0.0, 0), (HORIZON / h, 0), ((HORIZON + 36) / h, 170), (1.0, 255)]))
        layer = ImageChops.multiply(Image.merge("RGB", (rays,) * 3), solid(self.size, (50, 110, 230)))
        line = Image.new("L", self.size, 0)
        ImageDraw.Draw(line).line((0, HORIZON, w, HORIZON), fill=150)
        line = ImageChops.multiply(line, h_gradient(self.size, [
            (0.0, (0,) * 3), (0.5, (255,) * 3), (1.0, (0,) * 3)]).convert("L"))
        glow = line.filter(ImageFilter.GaussianBlur(3))
        layer = ImageChops.add(layer, ImageChops.multiply(
            Image.merge("RGB", (ImageChops.add(line, glow),) * 3), solid(self.size, (70, 180, 255))))
        return layer

    def _logo_origin(self, mask):
        return (LOGO_CENTRE[0] - mask.width // 2, LOGO_CENTRE[1] - mask.height // 2 - 8)

    def _logo(self):
        """Wordmark (gradient V, white rest) and tagline, as an RGBA overlay."""
        wm = wordmark(LOGO_PX)
        ox, oy = self._logo_origin(wm)
        # Slightly below white, so that the sweeping shine can still lift it.
        fill = v_gradient(wm.size, [(0.0, (236, 242, 255)), (1.0, (170, 196, 246))])
        v_mask = wordmark(LOGO_PX, "V")
        vx0, vy0, vx1, vy1 = v_mask.getbbox()
        v_fill = fill.copy()
        v_fill.paste(diagonal_gradient((vx1 - vx0, vy1 - vy0), (52, 100, 255), (48, 226, 255)),
                     (vx0, vy0))
        fill = Image.composite(v_fill, fill, v_mask)
        logo = Image.new("RGBA", self.size, (0, 0, 0, 0))
        layer = Image.new("RGBA", self.size, (0, 0, 0, 0))
        layer.paste(fill, (ox, oy))
        mask = Image.new("L", self.size, 0)
        mask.paste(wm, (ox, oy))
        logo = paint(logo, layer.convert("RGB"), mask)
        tag = text_mask((360, 28), "全球节点·智能加速", 15, spacing=6)
        tag_full = Image.new("L", self.size, 0)
        tag_full.paste(tag, (LOGO_CENTRE[0] - 180, oy + wm.height + 6))
        logo = paint(logo, (150, 184, 240), scale_l(tag_full, 0.9))
        return logo, (ox, oy, ox + wm.width, oy + wm.height), mask

    def _make_streaks(self, rng):
        """Horizontal light streaks; each crosses the picture a whole number of
        times per loop. Far ones are thin, faint and slow."""
        span = 800 + 2 * 260
        streaks = []
        lanes = list(range(44, HORIZON - 14, 9))
        rng.shuffle(lanes)
        for y in lanes[:15]:
            near = rng.random()
            laps = 1 if near < 0.45 else (2 if near < 0.85 else 3)
            length = int(70 + 170 * near)
            streaks.append((y, rng.uniform(0, span), laps, self._streak_sprite(length, near)))
        return span, streaks

    @staticmethod
    def _streak_sprite(length, near):
        gain = 0.35 + 0.65 * near
        thick = near > 0.6
        w, h = length + 6, 7
        sprite = Image.new("RGB", (w, h), (0, 0, 0))
        px = sprite.load()
        rows = (0.15, 0.55, 1.0, 0.55, 0.15) if thick else (0.0, 0.28, 1.0, 0.28, 0.0)
        for x in range(length):
            t = x / (length - 1)
            c = ramp([(0.0, (20, 40, 160)), (0.7, (40, 150, 255)), (1.0, (170, 240, 255))], t)
            a = gain * t ** 2.2
            for r, rv in enumerate(rows):
                px[x, r + 1] = tuple(int(v * a * rv) for v in c)
        add_at(sprite, radial_sprite(3, (200, 245, 255), falloff=1.4),
               length - 1, h // 2, gain)
        return sprite

    # -- per frame

    def frame(self, i):
        phase = i / self.n
        back = Image.new("RGB", self.size, (0, 0, 0))
        front = self.front_ring.copy()

        span, streaks = self.streaks
        for y, x0, laps, sprite in streaks:
            x = (x0 + laps * span * phase) % span - 260
            add_at(back, sprite, x + sprite.width // 2, y)

        for x, y, cycles, ph in self.twinkles:
            v = (0.5 + 0.5 * math.sin(2 * math.pi * cycles * phase + ph)) ** 3
            add_at(back, self.twinkle_dot, x, y, 0.15 + 0.85 * v)

        back = ImageChops.add(back, self._floor_lines(phase))

        for orbit_no, a0, revs, gain in self.comets:
            orbit = self.orbits[orbit_no]
            head = a0 + 2 * math.pi * revs * phase
            step = -0.024 if revs > 0 else 0.024
            for j in range(30, -1, -1):
                a = head + j * step
                x, y = orbit.point(a)
                depth = 0.5 + 0.5 * math.sin(a)
                g = gain * (0.45 + 0.55 * depth)
                layer = front if orbit.in_front(a) else back
                if j == 0:
                    add_at(layer, self.head_glow, x, y, g)
                    add_at(layer, self.head_core, x, y, g)
                else:
                    fade = (1 - j / 31) ** 1.6
                    r = 3 if j < 6 else (2 if j < 16 else 1)
                    add_at(layer, self.tail_dots[r], x, y, g * fade * 0.8)

        img = ImageChops.add(self.background, back)
        img = Image.alpha_composite(img.convert("RGBA"), self.logo).convert("RGB")
        img = ImageChops.add(img, front)
        img = ImageChops.add(img, self._shine(i))
        return Image.composite(solid(self.size, BG), img, self.bottom_fade)

    def _floor_lines(self, phase):
        """Cross lines of the floor at depths 1, 2, 3, ...; they advance two
        spacings per loop, which lands each line on its neighbour's place."""
        h = self.size[1]
        depth_scale = (h - HORIZON) * 1.5
        rows = [0.0] * h
        shift = (2 * phase) % 1.0
        for k in range(1, 40):
            z = k - shift + 0.6
            yc = HORIZON + depth_scale / z
            if yc >= h + 2:
                continue
            half = 0.35 + 0.45 / z
            bright = min(1.0, 1.6 / z) * min(1.0, (yc - HORIZON) / 30.0)
            for r in range(max(int(yc - half - 1), HORIZON), min(int(yc + half + 2), h)):
                cover = max(0.0, min(r + 1, yc + half) - max(r, yc - half))
                rows[r] = min(1.0, rows[r] + cover * bright)
        col = Image.new("L", (1, h))
        col.putdata([int(170 * v) for v in rows])
        mask = ImageChops.multiply(col.resize(self.size, Image.NEAREST), self.floor_fade)
        return ImageChops.multiply(Image.merge("RGB", (mask,) * 3), solid(self.size, (60, 140, 255)))

    def _shine(self, i):
        """A soft diagonal band of light sweeping across the wordmark during
        frames 60..95."""
        layer = Image.new("RGB", self.size, (0, 0, 0))
        start, length, half = 60, 36, 22
        if not start <= i < start + length:
            return layer
        x0, y0, x1, y1 = self.logo_box
        t = (i - start) / (length - 1)
        centre = x0 - 2 * half + t * (x1 - x0 + 4 * half)
        band = Image.new("L", self.size, 0)
        d = ImageDraw.Draw(band)
        lean = (y1 - y0) * 0.35
        for dx in range(-half, half + 1):
            v = int(210 * (1 - abs(dx) / half) ** 1.5)
            d.line((centre + dx + lean, y0, centre + dx - lean, y1), fill=v)
        band = ImageChops.multiply(band, self.logo_mask)
        return Image.merge("RGB", (band,) * 3)


# ---------------------------------------------------------------- GIF writer

def lzw_encode(data, min_code_size):
    """GIF flavour of LZW: variable code width up to 12 bits, LSB first."""
    clear, eoi = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    acc = nbits = 0
    width = min_code_size + 1
    table = {}
    next_code = eoi + 1

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    emit(clear)
    prefix = data[0]
    for byte in data[1:]:
        key = (prefix << 8) | byte
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table.clear()
            next_code = eoi + 1
            width = min_code_size + 1
        prefix = byte
    emit(prefix)
    emit(eoi)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def write_gif(path, size, palette, frames, delay):
    """frames: [(x, y, w, h, index_bytes)]. The palette's last entry is the
    transparent one; every frame leaves the canvas as it is (disposal 1)."""
    bits = max(1, (len(palette) - 1).bit_length())
    table = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    transparent = len(palette) - 1
    min_code = max(2, bits)
    with open(path, "wb") as f:
        f.write(b"GIF89a")
        f.write(struct.pack("<HHBBB", size[0], size[1], 0xF0 | (bits - 1), 0, 0))
        f.write(b"".join(bytes(c) for c in table))
        f.write(b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00")  # loop forever
        for x, y, w, h, data in frames:
            f.write(struct.pack("<BBBBHBB", 0x21, 0xF9, 4, (1 << 2) | 1,
                                delay, transparent, 0))
            f.write(struct.pack("<BHHHHB", 0x2C, x, y, w, h, 0))
            f.write(bytes([min_code]))
            code = lzw_encode(data, min_code)
            for k in range(0, len(code), 255):
                chunk = code[k:k + 255]
                f.write(bytes([len(chunk)]) + chunk)
            f.write(b"\x00")
        f.write(b"\x3B")


def build_palette(samples, colours, focus):
    """A global palette fitted to sample frames, plus a transparent slot.

    Median cut spends colours where pixels are many, which is the dark sky;
    the focus box (the wordmark) is therefore fed in several more times so
    that the letters keep clean whites. The window colour is forced in
    exactly, so that the picture's lower edge meets the window background
    without a seam.
    """
    w, h = samples[0].size
    strips = [im.crop(focus) for im in samples] * 4
    sw, sh = strips[0].size
    per_row = w // sw
    rows = (len(strips) + per_row - 1) // per_row
    sheet = Image.new("RGB", (w, h * len(samples) + sh * rows), BG)
    for k, im in enumerate(samples):
        sheet.paste(im, (0, h * k))
    for k, im in enumerate(strips):
        sheet.paste(im, ((k % per_row) * sw, h * len(samples) + (k // per_row) * sh))
    q = sheet.quantize(colors=colours - 1, method=Image.Quantize.MEDIANCUT,
                       dither=Image.Dither.NONE)
    flat = q.getpalette()[:3 * (colours - 1)]
    found = [tuple(flat[k:k + 3]) for k in range(0, len(flat), 3)]
    nearest = min(range(len(found)), key=lambda k: sum((a - b) ** 2 for a, b in zip(found[k], BG)))
    found[nearest] = BG
    return found + [(255, 0, 255)]   # transparent slot; no frame uses magenta


def encode_movie(movie, colours=256, threshold=5):
    """Render the frames, map them onto one palette and store each frame as
    the changed rectangle over the previous one, with unchanged pixels
    transparent. Colour changes up to threshold are left standing."""
    frames = [movie.frame(i) for i in range(movie.n)]
    x0, y0, x1, y1 = movie.logo_box
    palette = build_palette(frames[::8], colours, (x0 - 10, y0 - 10, x1 + 10, y1 + 40))
    transparent = len(palette) - 1
    pal_img = Image.new("P", (1, 1))
    flat = [v for c in palette[:-1] for v in c]
    pal_img.putpalette(flat + flat[:3] * (256 - len(palette) + 1))
    # Indices past the real colours are padding copies of entry 0.
    remap = list(range(transparent)) + [0] * (256 - transparent)

    stored = []
    shown = None
    for rgb in frames:
        idx = rgb.quantize(palette=pal_img, dither=Image.Dither.NONE)
        idx_l = Image.frombytes("L", rgb.size, idx.tobytes()).point(remap)
        idx.putdata(idx_l.getdata())
        cur = idx.convert("RGB")
        if shown is None:
            stored.append((0, 0, rgb.width, rgb.height, idx_l.tobytes()))
            shown = cur
            continue
        r, g, b = ImageChops.difference(cur, shown).split()
        mask = ImageChops.lighter(ImageChops.lighter(r, g), b).point(
            lambda v: 255 if v > threshold else 0)
        box = mask.getbbox() or (0, 0, 1, 1)
        out = Image.composite(idx_l, Image.new("L", rgb.size, transparent), mask)
        stored.append((box[0], box[1], box[2] - box[0], box[3] - box[1],
                       out.crop(box).tobytes()))
        shown = Image.composite(cur, shown, mask)
    return palette, stored


# ---------------------------------------------------------------- app icon

def app_icon():
    """256 px icon: a sheared 'V' speed mark on a rounded dark tile."""
    n = 256
    size = (n, n)
    tile = rounded_mask(size, 58, inset=6)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img = paint(img, diagonal_gradient(size, (34, 30, 86), (9, 8, 24)), tile)

    def shear(pts):
        # Lean the mark forward; it reads as motion even at 16 px.
        return [(x + (150 - y) * 0.2, y) for x, y in pts]

    v_pts = shear([(50, 66), (98, 66), (132, 152), (166, 66), (214, 66),
                   (152, 196), (112, 196)])
    bars = [shear([(x0, y), (x1, y), (x1, y + 13), (x0, y + 13)])
            for x0, x1, y in ((22, 62, 92), (34, 74, 122), (46, 86, 152))]

    def draw_v(d, s):
        d.polygon([(x * s, y * s) for x, y in v_pts], fill=255)

    def draw_bars(d, s):
        for pts in bars:
            d.polygon([(x * s, y * s) for x, y in pts], fill=255)

    v_mask = shape_mask(size, draw_v)
    glow = v_mask.filter(ImageFilter.GaussianBlur(14))
    img = paint(img, (36, 110, 255), ImageChops.multiply(scale_l(glow, 0.75), tile))
    # Blue at the lower left, cyan at the upper right of the mark.
    x0, y0, x1, y1 = v_mask.getbbox()
    grad = solid(size, BLUE)
    grad.paste(diagonal_gradient((x1 - x0, y1 - y0), (44, 88, 255), (44, 232, 255))
               .transpose(Image.FLIP_TOP_BOTTOM), (x0, y0))
    img = paint(img, grad, v_mask)
    # Bars fade out towards the tail.
    bar_alpha = h_gradient(size, [(0.0, (0,) * 3), (0.38, (255,) * 3), (1.0, (255,) * 3)]).convert("L")
    bar_mask = ImageChops.multiply(shape_mask(size, draw_bars), bar_alpha)
    bar_mask = ImageChops.subtract(bar_mask, v_mask.filter(ImageFilter.MaxFilter(9)))
    img = paint(img, grad, bar_mask)
    sheen = ImageChops.multiply(v_mask, v_alpha(size, [(0.0, 0), (0.25, 90), (0.5, 0), (1.0, 0)]))
    img = paint(img, WHITE, sheen)
    rim = ImageChops.subtract(tile, rounded_mask(size, 56, inset=8))
    rim = ImageChops.multiply(rim, v_alpha(size, [(0.0, 110), (1.0, 20)]))
    return paint(img, (120, 170, 255), rim)


# ---------------------------------------------------------------- main

def skin_images():
    images = {}
    images.update(make_buttons())
    images.update(make_glyphs())
    images["vxbackground2.png"] = vxbackground2()
    images["vxbackground3.png"] = vxbackground3()
    return images


# Images with text and thin strokes get a double-size rendering; gradients,
# backdrops and the animation are scaled by the installer instead.
HIGH_RESOLUTION_SKIP = {"progress.png"}


def high_resolution_images():
    global K
    K = 2
    try:
        images = {}
        images.update(make_buttons())
        images.update(make_glyphs())
    finally:
        K = 1
    return {name[:-4] + "@2x.png": img for name, img in images.items()
            if name not in HIGH_RESOLUTION_SKIP}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--no-movie", action="store_true",
                        help="skip movie.gif (the slow part)")
    parser.add_argument("--recompress", action="store_true",
                        help="only recompress the committed PNGs")
    args = parser.parse_args()
    if args.recompress:
        for name in sorted(os.listdir(SKIN_DIR)) + ["../icon/velto.png"]:
            if name.endswith(".png"):
                path = os.path.normpath(os.path.join(SKIN_DIR, name))
                before = os.path.getsize(path)
                recompress_png(path)
                print("%s: %d -> %d bytes" % (os.path.relpath(path, ROOT), before,
                                               os.path.getsize(path)))
        return 0
    os.makedirs(SKIN_DIR, exist_ok=True)
    os.makedirs(ICON_DIR, exist_ok=True)

    images = skin_images()
    images.update(high_resolution_images())
    for name, img in sorted(images.items()):
        save_png(img, name)
        print("wrote", os.path.relpath(os.path.join(SKIN_DIR, name), ROOT))
    save_png(app_icon(), "velto.png", ICON_DIR)
    print("wrote", os.path.relpath(os.path.join(ICON_DIR, "velto.png"), ROOT))

    if not args.no_movie:
        movie = Movie()
        palette, frames = encode_movie(movie)
        path = os.path.join(SKIN_DIR, "movie.gif")
        write_gif(path, movie.size, palette, frames, MOVIE_DELAY)
        print("wrote", os.path.relpath(path, ROOT), "(%d frames, %d bytes)"
              % (len(frames), os.path.getsize(path)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
