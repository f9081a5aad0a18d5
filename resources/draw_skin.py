#!/usr/bin/python3
"""Draws Quillary's skin: every bitmap and icon that quillary.rc names.

    draw_skin.py --out DIR            draw everything into DIR
    draw_skin.py --list               print the file names that --out writes
    draw_skin.py --sheet FILE.png [--scale 150] [--zoom N]
                                      a contact sheet of all pictures at a
                                      scale, 2x at 100 % and 1x otherwise

Pictures are drawn from shapes and text in this file; nothing is traced from
other artwork. Shapes are drawn at four times the size and reduced with a box
filter (so 1-pixel lines on pixel edges stay crisp and curves are smooth);
small text is drawn afterwards at the final size, where FreeType's hinting
keeps it sharp.

Every bitmap is drawn at each of SCALES: the program lays out in 96-DPI
units and shows, at other DPIs, the variant for the nearest scale, so that
its pixels meet the screen's one to one. The drawing code works in units (the
pixels of 100 %); the Canvas maps them onto the scale's pixels and text is
set at the scaled size, so each variant is drawn afresh, never enlarged.

The numbers come from resource_ids.h beside this file: a bitmap_NAME entry
becomes bitmap_NAME.bmp (24-bit) and bitmap_NAME@125.png, @150 and @200 (RGB,
the pixels a BMP would hold in a small part of its bytes, which keeps the
program small), an icon_NAME entry icon_NAME.ico (every size from 16 to 256
pixels, 32-bit with alpha). The script also writes resource_ids_rc.h, the
same numbers as #defines for the resource compiler, and skin_bitmaps.rc,
which quillary.rc includes: BITMAP lines for the 100 % pictures and, for the
variants, lines of the custom type PNG by the numbers SCALE_NUMBER_STEP gives
them. The words on the home page's start buttons are the "home_start_scan"
texts of language.ini.

Needs Debian's python3-pil (with libraqm, for Arabic), fonts-noto-core and
fonts-noto-cjk.
"""

import argparse
import io
import math
import os
import re
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling factor for shapes

# The scales (per cent) every bitmap is drawn at. The program keeps its layout
# in 96-DPI units and takes, for a window's DPI, the variant of the nearest
# scale, whose pixels then map one to one onto the screen's.
SCALES = (100, 125, 150, 200)
# The variant of bitmap number N at the k-th larger scale (k = 1 for 125 %)
# has resource number N + SCALE_NUMBER_STEP * k; so every 100 % number must
# stay below the step.
SCALE_NUMBER_STEP = 1000

_scale = 1.0  # the scale being drawn, as a factor; set by render()


def scaled_size(n, scale=None):
    """n units at the scale in whole pixels, halves rounded up as the
    program's MulDiv rounds them (Python's round() would round 124.5 to 124)."""
    return int(n * (_scale if scale is None else scale) + 0.5)

# --- Colours of the skin ------------------------------------------------------

BAND = (139, 184, 241)        # caption band and inner border lines
BORDER = (66, 90, 138)        # outer border line
TITLE = (233, 243, 255)       # caption title text
MESSAGE_BG = (226, 240, 253)  # message box background
MESSAGE_TEXT = (91, 135, 201)
ACCENT = (76, 146, 206)       # selected navigation text, home page texts
HEADING = (71, 130, 195)      # panel headings
WHITE = (255, 255, 255)

STRIP = (104, 152, 222)       # the header strip under the title
STRIP_HOVER = (128, 174, 236)
STRIP_PRESSED = (80, 126, 198)

# Filled buttons: normal, hover (lighter), pressed (darker); fill and edge.
BUTTON = {
    'normal': ((64, 132, 214), (50, 112, 192)),
    'hover': ((96, 160, 236), (72, 138, 218)),
    'pressed': ((44, 100, 176), (34, 84, 154)),
}

RED = (222, 72, 72)
AMBER = (238, 154, 34)
BLUE_INFO = (52, 132, 218)
INDIGO = (96, 112, 214)

# --- Fonts ---------------------------------------------------------------------

NOTO = '/usr/share/fonts/truetype/noto'
NOTO_CJK = '/usr/share/fonts/opentype/noto'
FONT_FILES = {
    ('latin', 'regular'): (f'{NOTO}/NotoSans-Regular.ttf', 0, 'fonts-noto-core'),
    ('latin', 'bold'): (f'{NOTO}/NotoSans-Bold.ttf', 0, 'fonts-noto-core'),
    ('arabic', 'regular'): (f'{NOTO}/NotoSansArabic-Regular.ttf', 0, 'fonts-noto-core'),
    ('arabic', 'bold'): (f'{NOTO}/NotoSansArabic-Bold.ttf', 0, 'fonts-noto-core'),
    # Faces inside the CJK collections: 0 JP, 2 SC, 3 TC.
    ('ja', 'regular'): (f'{NOTO_CJK}/NotoSansCJK-Regular.ttc', 0, 'fonts-noto-cjk'),
    ('ja', 'bold'): (f'{NOTO_CJK}/NotoSansCJK-Bold.ttc', 0, 'fonts-noto-cjk'),
}
_font_cache = {}


def font(script, weight, size):
    key = (script, weight, size)
    if key not in _font_cache:
        path, index, package = FONT_FILES[(script, weight)]
        if not os.path.exists(path):
            sys.exit(f'draw_skin: {path} is missing; install the Debian package {package}')
        _font_cache[key] = ImageFont.truetype(path, size, index=index,
                                              layout_engine=ImageFont.Layout.RAQM)
    return _font_cache[key]


def skin_font(script, weight, size):
    """A face at `size` units, in pixels of the scale being drawn."""
    return font(script, weight, max(1, scaled_size(size)))


# Languages that have their own home-page pictures: code of the per-language
# table, section of language.ini, script of their words.
LANGUAGES = {
    'en': ('English', 'latin'),
    'de': ('Deutsch', 'latin'),
    'fr': ('Français', 'latin'),
    'es': ('Español', 'latin'),
    'it': ('Italiano', 'latin'),
    'jp': ('日本語', 'ja'),
    'pt': ('Português', 'latin'),
    'nl': ('Nederlands', 'latin'),
    'ar': ('العربية', 'arabic'),
}

# What each of the three steps on the home page's banner does, under the step
# names that the program draws itself. (Chinese and Dutch use the English
# banner; see the per-language table in app/language.cpp.)
BANNER_CAPTIONS = {
    'en': ('Checks every device and the driver it uses',
           'Fetches the matching new drivers',
           'Installs them with one click'),
    'de': ('Prüft jedes Gerät und seinen Treiber',
           'Lädt die passenden neuen Treiber',
           'Installiert sie mit einem Klick'),
    'fr': ('Vérifie chaque périphérique et son pilote',
           'Télécharge les pilotes adaptés',
           'Les installe en un clic'),
    'es': ('Revisa cada dispositivo y su controlador',
           'Descarga los controladores',
           'Los instala con un solo clic'),
    'it': ('Controlla ogni dispositivo e il suo driver',
           'Scarica i nuovi driver adatti',
           'Li installa con un clic'),
    # Japanese lines are broken by hand, where a reader expects the break.
    'jp': ('すべてのデバイスと\nドライバーを確認',
           '最適な新しい\nドライバーを入手',
           'ワンクリックで\nインストール'),
    'pt': ('Verifica cada dispositivo e o seu driver',
           'Baixa os novos drivers adequados',
           'Instala tudo com um clique'),
    'ar': ('يفحص كل جهاز وبرنامج تشغيله',
           'يحمّل برامج التشغيل الجديدة المناسبة',
           'يثبّتها بنقرة واحدة'),
}
STEP_DIGITS = {'ar': '١٢٣'}


def read_language_texts(path, key):
    """The value of `key` in every section of language.ini (first one wins)."""
    texts = {}
    section = None
    entry = re.compile(r'^\s*([^;].*)\s*=\s*"(.+)"\s*$')
    with open(path, encoding='utf-8') as f:
        for line in f:
            stripped = line.strip()
            if stripped.startswith('[') and stripped.endswith(']'):
                section = stripped[1:-1]
                continue
            m = entry.match(line.rstrip('\n'))
            if m and section and m.group(1) == key:
                texts.setdefault(section, m.group(2).replace('\\t', '\t').replace('\\n', '\n'))
    return texts


def read_resource_ids(path):
    ids = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            m = re.match(r'\s*([a-z][a-z0-9_]*)\s*=\s*(\d+)\s*,', line)
            if m:
                if m.group(1) in ids:
                    sys.exit(f'draw_skin: {m.group(1)} appears twice in resource_ids.h')
                ids[m.group(1)] = int(m.group(2))
    return ids


# --- Drawing helpers ---------------------------------------------------------------


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def lighten(c, amount):
    return tuple(min(255, round(x + amount * (255 - x))) for x in c)


class Canvas:
    """Shapes in the picture's units (pixels at 100 %), drawn SS times larger
    than the final pixels.

    At a larger scale the final picture has scaled_size(w) x scaled_size(h)
    pixels, and each axis maps its units onto exactly that many pixels: a
    shape that reaches the picture's edge at 100 % reaches it at every scale,
    instead of stopping up to half a pixel short where w * scale is not a
    whole number. Lengths that have no axis (radii, stroke widths) use the
    mean of the two factors, which differ by well under one per cent."""

    def __init__(self, w, h, bg=WHITE, mode='RGB', scale=None):
        scale = _scale if scale is None else scale
        self.w, self.h = scaled_size(w, scale), scaled_size(h, scale)
        self.kx, self.ky = self.w / w, self.h / h  # final pixels per unit
        self.k = (self.kx + self.ky) / 2
        self.mode = mode
        if mode == 'RGBA':
            bg = bg if len(bg) == 4 else bg + (255,)
        self.big = Image.new(mode, (self.w * SS, self.h * SS), bg)
        self.draw = ImageDraw.Draw(self.big)

    # Units to pixels of the supersampled picture: across, down, and lengths.
    def x(self, v):
        return round(v * self.kx * SS)

    def y(self, v):
        return round(v * self.ky * SS)

    def s(self, v):
        return round(v * self.k * SS)

    def at(self, x, y):
        """Units to final pixels, for text drawn on the finished picture."""
        return x * self.kx, y * self.ky

    def box(self, b):
        # Boxes are pixel edges: (0, 0, 10, 10) covers pixels 0..9.
        x0, y0, x1, y1 = b
        return [self.x(x0), self.y(y0), self.x(x1) - 1, self.y(y1) - 1]

    def rect(self, b, fill):
        self.draw.rectangle(self.box(b), fill=fill)

    def pixel_rect(self, b, fill):
        """A box in final pixels, for shapes that must sit on whole pixels."""
        x0, y0, x1, y1 = b
        self.draw.rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=fill)

    def rounded(self, b, r, fill, edge=None, edge_width=1):
        if edge:
            self.draw.rounded_rectangle(self.box(b), self.s(r), fill=edge)
            x0, y0, x1, y1 = b
            e = edge_width
            b = (x0 + e, y0 + e, x1 - e, y1 - e)
            r = max(0, r - e)
        self.draw.rounded_rectangle(self.box(b), self.s(r), fill=fill)

    def gradient_rounded(self, b, r, top, bottom, edge=None, edge_width=1):
        """A rounded box filled with a vertical gradient."""
        x0, y0, x1, y1 = b
        if edge:
            self.rounded(b, r, edge)
            x0, y0, x1, y1 = x0 + edge_width, y0 + edge_width, x1 - edge_width, y1 - edge_width
            r = max(0, r - edge_width)
        w, h = self.x(x1) - self.x(x0), self.y(y1) - self.y(y0)
        fill = Image.new('RGB', (w, h))
        fd = ImageDraw.Draw(fill)
        for y in range(h):
            fd.line([(0, y), (w, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
        mask = Image.new('L', (w, h), 0)
        ImageDraw.Draw(mask).rounded_rectangle([0, 0, w - 1, h - 1], self.s(r), fill=255)
        if self.mode == 'RGBA':
            fill = fill.convert('RGBA')
        self.big.paste(fill, (self.x(x0), self.y(y0)), mask)

    def circle(self, cx, cy, r, fill=None, outline=None, width=1):
        b = [self.x(cx - r), self.y(cy - r), self.x(cx + r) - 1, self.y(cy + r) - 1]
        self.draw.ellipse(b, fill=fill, outline=outline,
                          width=self.s(width) if outline else 0)

    def polygon(self, points, fill):
        self.draw.polygon([(self.x(x), self.y(y)) for x, y in points], fill=fill)

    def line(self, points, colour, width, caps=True):
        pts = [(self.x(x), self.y(y)) for x, y in points]
        self.draw.line(pts, fill=colour, width=self.s(width), joint='curve')
        if caps:
            r = width * self.k * SS / 2
            for x, y in (pts[0], pts[-1]):
                self.draw.ellipse([x - r, y - r, x + r - 1, y + r - 1], fill=colour)

    def arc(self, cx, cy, r, start, end, colour, width):
        """An arc of the circle through the middle of the stroke; angles in
        degrees, clockwise from three o'clock, as PIL counts them."""
        ro = r + width / 2
        b = [self.x(cx - ro), self.y(cy - ro), self.x(cx + ro) - 1, self.y(cy + ro) - 1]
        self.draw.arc(b, start, end, fill=colour, width=self.s(width))
        for a in (start, end):
            x = cx + r * math.cos(math.radians(a))
            y = cy + r * math.sin(math.radians(a))
            self.circle(x, y, width / 2, fill=colour)

    def finish(self):
        return self.big.reduce(SS)

    def text(self, img, xy, text, face, colour, anchor='la', direction=None, language=None):
        """Text on the finished picture, at final size so that hinting keeps
        it sharp: xy in units, face (script, weight, size in units)."""
        draw_text(img, self.at(*xy), text, skin_font(*face), colour, anchor=anchor,
                  direction=direction, language=language)


def text_size(text, fnt, direction=None):
    box = fnt.getbbox(text, direction=direction)
    return box[2] - box[0], box


def draw_text(img, xy, text, fnt, colour, anchor='la', direction=None, language=None):
    ImageDraw.Draw(img).text(xy, text, font=fnt, fill=colour, anchor=anchor,
                             direction=direction, language=language)


def fit_font(text, script, weight, max_size, max_width, min_size=10, direction=None):
    """The largest size (in units) at which text is no wider than max_width
    units: chosen at 100 %, so that every scale shows the words alike, and
    smaller only where the scale's hinting makes them too wide there."""
    def fits(fnt, width):
        return text_size(text, fnt, direction)[0] <= width

    size = next((n for n in range(max_size, min_size - 1, -1)
                 if fits(font(script, weight, n), max_width)), min_size)
    while size > min_size and not fits(skin_font(script, weight, size), max_width * _scale):
        size -= 1
    return size


def wrap(text, fnt, width, cjk=False, direction=None):
    """Splits text into lines no wider than width: at line feeds, then at
    blanks, or anywhere for Japanese."""
    lines = []
    for paragraph in text.split('\n'):
        units = list(paragraph) if cjk else paragraph.split(' ')
        joiner = '' if cjk else ' '
        current = ''
        for unit in units:
            trial = unit if not current else current + joiner + unit
            if text_size(trial, fnt, direction)[0] <= width or not current:
                current = trial
            else:
                lines.append(current)
                current = unit
        if current:
            lines.append(current)
    return lines


# --- Glyphs: line pictures in a 32-unit square -------------------------------------
# Each takes the canvas, the square's top-left corner, its size in pixels, the
# colour and the stroke width in pixels.


def _map(ox, oy, size):
    k = size / 32.0
    return lambda pts: [(ox + x * k, oy + y * k) for x, y in pts]


def glyph_home(c, ox, oy, size, colour, stroke):
    m = _map(ox, oy, size)
    c.line(m([(3.5, 15.5), (16, 4.5), (28.5, 15.5)]), colour, stroke)
    c.line(m([(7.5, 13), (7.5, 27.5), (24.5, 27.5), (24.5, 13)]), colour, stroke)
    c.line(m([(13, 27.5), (13, 20), (19, 20), (19, 27.5)]), colour, stroke)


def glyph_download(c, ox, oy, size, colour, stroke):
    m = _map(ox, oy, size)
    c.line(m([(16, 3.5), (16, 19.5)]), colour, stroke)
    c.line(m([(9.5, 13), (16, 19.5), (22.5, 13)]), colour, stroke)
    c.line(m([(4.5, 19.5), (4.5, 27.5), (27.5, 27.5), (27.5, 19.5)]), colour, stroke)


def glyph_archive(c, ox, oy, size, colour, stroke):
    m = _map(ox, oy, size)
    c.line(m([(3.5, 5.5), (28.5, 5.5), (28.5, 11.5), (3.5, 11.5), (3.5, 5.5)]), colour, stroke)
    c.line(m([(6, 11.5), (6, 27.5), (26, 27.5), (26, 11.5)]), colour, stroke)
    c.line(m([(16, 24), (16, 15.5)]), colour, stroke)
    c.line(m([(12.5, 19), (16, 15.5), (19.5, 19)]), colour, stroke)


def glyph_history(c, ox, oy, size, colour, stroke):
    k = size / 32.0
    cx, cy, r = ox + 16.5 * k, oy + 16 * k, 11 * k
    c.arc(cx, cy, r, 200, 510, colour, stroke)  # from 200 degrees round to 150
    # Arrowhead at the arc's open end (200 degrees: left, a little up).
    a = math.radians(200)
    tip = (cx + r * math.cos(a), cy + r * math.sin(a))
    m = _map(ox, oy, size)
    head = [(tip[0] - 4.5 * k, tip[1] - 4.0 * k), tip, (tip[0] + 3.5 * k, tip[1] - 4.5 * k)]
    c.line(head, colour, stroke)
    c.line(m([(16.5, 9.5), (16.5, 16), (21.5, 19.5)]), colour, stroke)


def glyph_gear(c, ox, oy, size, colour, stroke, hole_colour):
    k = size / 32.0
    cx, cy = ox + 16 * k, oy + 16 * k
    teeth, r_out, r_in = 8, 13.5 * k, 10.5 * k
    pts = []
    for i in range(teeth * 4):
        a = (i / (teeth * 4)) * 2 * math.pi - math.pi / 2 + math.pi / (teeth * 4)
        r = r_out if i % 4 in (0, 1) else r_in
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    c.polygon(pts, colour)
    c.circle(cx, cy, r_in - stroke, fill=hole_colour)
    c.circle(cx, cy, 4.2 * k + stroke / 2, fill=colour)
    c.circle(cx, cy, 4.2 * k - stroke / 2, fill=hole_colour)


def glyph_magnifier(c, ox, oy, size, colour, stroke, hole_colour):
    k = size / 32.0
    cx, cy, r = ox + 13.5 * k, oy + 13.5 * k, 9 * k
    c.circle(cx, cy, r + stroke / 2, fill=colour)
    c.circle(cx, cy, r - stroke / 2, fill=hole_colour)
    m = _map(ox, oy, size)
    c.line(m([(20.5, 20.5), (27.5, 27.5)]), colour, stroke * 1.35)


def glyph_monitor(c, ox, oy, size, colour, stroke):
    m = _map(ox, oy, size)
    c.line(m([(3.5, 6.5), (28.5, 6.5), (28.5, 22.5), (3.5, 22.5), (3.5, 6.5)]), colour, stroke)
    c.line(m([(16, 22.5), (16, 27)]), colour, stroke)
    c.line(m([(10.5, 27.5), (21.5, 27.5)]), colour, stroke)


def glyph_refresh(c, ox, oy, size, colour, stroke):
    """Two arrows chasing each other round a circle: done again and again."""
    k = size / 32.0
    cx, cy, r = ox + 16 * k, oy + 16 * k, 10.5 * k
    for start in (200, 20):
        c.arc(cx, cy, r, start, start + 125, colour, stroke)
        a = math.radians(start + 125)
        tip = (cx + r * math.cos(a), cy + r * math.sin(a))
        # The head points along the arc, clockwise.
        t = (-math.sin(a), math.cos(a))
        n = (math.cos(a), math.sin(a))
        h = 4.2 * k
        c.line([(tip[0] - t[0] * h + n[0] * h, tip[1] - t[1] * h + n[1] * h), tip,
                (tip[0] - t[0] * h - n[0] * h, tip[1] - t[1] * h - n[1] * h)], colour, stroke)


# --- The application mark --------------------------------------------------------


def draw_mark(size, inverse=False):
    """The Quillary mark: a rounded square holding a Q whose tail is drawn like
    a quill's stroke (blue square and white Q, or the inverse). Returns an RGBA
    image of size x size: pixels, whatever the scale being drawn."""
    c = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA', scale=1)
    # Small sizes get relatively thicker strokes and a tighter margin.
    margin = 0 if size <= 20 else size / 32
    radius = size * (0.22 if size > 20 else 0.2)
    box = (margin, margin, size - margin, size - margin)
    if inverse:
        c.rounded(box, radius, WHITE)
        q = (56, 126, 216)
    else:
        c.gradient_rounded(box, radius, (98, 166, 244), (44, 104, 200))
        q = WHITE
    cx, cy = size * 0.47, size * 0.46
    stroke = max(2.0, size * (0.13 if size <= 20 else 0.11))
    r = size * 0.25
    # The ring of the Q.
    c.circle(cx, cy, r + stroke / 2, fill=q)
    inner = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA', scale=1)
    inner.circle(cx, cy, r - stroke / 2, fill=(255, 255, 255, 255))
    hole = inner.big.split()[3]
    if inverse:
        c.big.paste(Image.new('RGBA', c.big.size, WHITE + (255,)), (0, 0), hole)
    else:
        # Refill the hole with the square's gradient.
        ground = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA', scale=1)
        ground.gradient_rounded(box, radius, (98, 166, 244), (44, 104, 200))
        c.big.paste(ground.big, (0, 0), hole)
    # The tail: a tapering quill stroke from inside the ring out to the corner.
    t0 = (cx + r * 0.25, cy + r * 0.25)
    t1 = (size * 0.83, size * 0.83)
    dx, dy = t1[0] - t0[0], t1[1] - t0[1]
    length = math.hypot(dx, dy)
    nx, ny = -dy / length, dx / length
    w0, w1 = stroke * 0.75, stroke * 0.2
    c.polygon([(t0[0] + nx * w0, t0[1] + ny * w0), (t1[0] + nx * w1, t1[1] + ny * w1),
               (t1[0] - nx * w1, t1[1] - ny * w1), (t0[0] - nx * w0, t0[1] - ny * w0)], q)
    c.circle(t1[0], t1[1], w1, fill=q)
    return c.finish()


def draw_alert_mark(size):
    """The mark with an orange badge: new drivers are waiting."""
    img = draw_mark(size)
    c = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA', scale=1)
    r = size * (0.25 if size <= 20 else 0.22)
    cx = cy = size - r - (0 if size <= 20 else size / 32)
    c.circle(cx, cy, r + max(1.0, size / 24), fill=WHITE + (255,))
    c.circle(cx, cy, r, fill=(240, 96, 36, 255))
    if size >= 24:
        w = max(1.6, r * 0.28)
        c.line([(cx, cy - r * 0.5), (cx, cy + r * 0.08)], WHITE + (255,), w)
        c.circle(cx, cy + r * 0.5, w * 0.62, fill=WHITE + (255,))
    badge = c.finish()
    img.alpha_composite(badge)
    return img


# --- Pictures -----------------------------------------------------------------------


def header_strip():
    c = Canvas(5, 24, bg=STRIP)
    # A hairline of the band colour at the bottom eases the strip into the band.
    c.rect((0, 23, 5, 24), lerp(STRIP, BAND, 0.5))
    return c.finish()


def caption_button(kind, state, w=30, h=21, ground=STRIP, close_red=True):
    """Caption buttons: a flat square that lightens on hover and darkens when
    pressed (the close button turns red)."""
    fills = {'normal': ground, 'hover': STRIP_HOVER if ground == STRIP else lighten(ground, 0.22),
             'pressed': STRIP_PRESSED if ground == STRIP else lerp(ground, (60, 100, 170), 0.45)}
    fill = fills[state]
    if kind == 'close' and close_red and state != 'normal':
        fill = (226, 74, 74) if state == 'hover' else (184, 46, 46)
    c = Canvas(w, h, bg=fill)
    # The glyphs are thin lines like the system's own, so they are laid out
    # in whole pixels of the scale: a square of g pixels (10 units), strokes
    # of t pixels (one unit, rounded down: 1.25 or 1.5 pixels would blur).
    g, t = scaled_size(10), max(1, int(_scale))
    band = scaled_size(1)
    if ground == STRIP and h == 21:
        # The button reaches one row below the 24-pixel strip on frames of
        # four pixels: that row is the band's.
        c.pixel_rect((0, c.h - band, c.w, c.h), BAND if state == 'normal' else fill)
    ink = WHITE if state != 'normal' else TITLE
    x0 = (c.w - g) // 2
    y0 = (c.h - band - g) // 2
    if kind == 'close':
        # Antialiased diagonals; their ends half a unit inside the square.
        a, b = 0.05 * g, 0.95 * g
        for (xa, ya), (xb, yb) in (((a, a), (b, b)), ((b, a), (a, b))):
            c.line([((x0 + xa) / c.kx, (y0 + ya) / c.ky), ((x0 + xb) / c.kx, (y0 + yb) / c.ky)],
                   ink, 1.3, caps=False)
    elif kind == 'minimise':
        c.pixel_rect((x0, y0 + g - 2 * t, x0 + g, y0 + g - t), ink)
    elif kind == 'maximise':
        window(c, (x0, y0, x0 + g, y0 + g), t, 2 * t, ink, fill)
    elif kind == 'restore':
        o = scaled_size(2)  # the back window's offset
        window(c, (x0 + o, y0, x0 + g, y0 + g - o), t, t, ink, fill)
        window(c, (x0, y0 + o, x0 + g - o, y0 + g), t, 2 * t, ink, fill)
    elif kind == 'menu':
        # Three bars a gap of 4 units apart, the last one at the bottom.
        gap = scaled_size(4)
        for i in range(3):
            y = y0 + g - t - (2 - i) * gap
            c.pixel_rect((x0, y, x0 + g, y + t), ink)
    return c.finish()


def window(c, b, t, bar, ink, fill):
    """A window outline in pixels: sides t wide, a title bar `bar` high."""
    x0, y0, x1, y1 = b
    c.pixel_rect(b, ink)
    c.pixel_rect((x0 + t, y0 + bar, x1 - t, y1 - t), fill)


def dialog_close(state):
    """The dialogs' close button, on the caption band."""
    return caption_button('close', state, w=31, h=21, ground=BAND)


NAV_GLYPHS = {
    'home': glyph_home,
    'download': glyph_download,
    'backup': glyph_archive,
    'restore': glyph_history,
    # settings: the gear, which needs the colour of its hole
}


def nav_button(kind, state):
    """83 x 67 navigation button: a line picture over the label, which the
    program draws white (blue when pressed) at the bottom."""
    w, h = 83, 67
    c = Canvas(w, h, bg=BAND)
    if state == 'hover':
        c.rounded((3, 3, w - 3, h - 2), 6, (124, 172, 236), edge=(168, 204, 248))
        ground = (124, 172, 236)
    elif state == 'pressed':
        c.rounded((3, 3, w - 3, h - 2), 6, (246, 250, 255), edge=(214, 230, 250))
        ground = (246, 250, 255)
    else:
        ground = BAND
    ink = ACCENT if state == 'pressed' else WHITE
    size, stroke = 30, 2.2
    ox, oy = (w - size) / 2, 9
    if kind == 'settings':
        glyph_gear(c, ox, oy, size, ink, stroke, ground)
    else:
        NAV_GLYPHS[kind](c, ox, oy, size, ink, stroke)
    return c.finish()


def filled_button(w, h, state, ground, radius=4):
    fill, edge = BUTTON[state]
    c = Canvas(w, h, bg=ground)
    top = lighten(fill, 0.08) if state != 'pressed' else fill
    c.gradient_rounded((0, 0, w, h), radius, top, fill, edge=edge)
    if state != 'pressed':
        # A faint highlight under the top edge.
        c.rect((radius, 1, w - radius, 2), lighten(top, 0.25))
    return c.finish()


def soft_shadow(c, box, radius, pressed):
    """A blurred shadow under a raised button, smaller when it is pressed."""
    w, h = c.big.size
    shadow = Image.new('L', (w, h), 0)
    ImageDraw.Draw(shadow).rounded_rectangle(c.box(box), c.s(radius), fill=255)
    shadow = shadow.filter(ImageFilter.GaussianBlur(c.s(3 if pressed else 4)))
    tint = Image.new('RGB', (w, h), (176, 198, 228))
    c.big.paste(tint, (0, 0), shadow.point(lambda v: v * (0.5 if pressed else 0.8)))


def action_button(state):
    """The backup and restore pages' large button (text by the program)."""
    w, h = 280, 56
    c = Canvas(w, h, bg=WHITE)
    fill, edge = BUTTON[state]
    press = 1 if state == 'pressed' else 0
    # The face is centred in the picture, where the program centres the text.
    soft_shadow(c, (6, 10 + press, w - 6, h - 1), 10, press)
    c.gradient_rounded((3, 4 + press, w - 3, h - 5 + press), 10, lighten(fill, 0.14), fill, edge=edge)
    return c.finish()


PANEL_TINT = (244, 246, 251)    # a download panel whose package is not needed
DOWNLOAD_BAR = (236, 242, 250)  # the download-all bar under the list
GREEN = (46, 170, 72)


def status_picture(kind):
    """16 x 16 mark before each device of a download panel: an amber arrow
    for a needed update, a green tick for one not needed, a red bang for a
    device without a driver."""
    ground = PANEL_TINT if kind == 'not_needed' else WHITE
    c = Canvas(16, 16, bg=ground)
    colour = {'needed': AMBER, 'not_needed': GREEN, 'no_driver': RED}[kind]
    c.circle(8, 8, 7.2, fill=colour)
    if kind == 'needed':
        c.line([(8, 12), (8, 4.5)], WHITE, 1.8)
        c.line([(4.8, 7.6), (8, 4.3), (11.2, 7.6)], WHITE, 1.8)
    elif kind == 'not_needed':
        c.line([(4.5, 8.3), (7, 10.8), (11.6, 5.6)], WHITE, 1.8)
    else:
        c.line([(8, 4), (8, 9)], WHITE, 2)
        c.circle(8, 11.8, 1.2, fill=WHITE)
    return c.finish()


def message_picture(kind):
    w = h = 48
    c = Canvas(w, h, bg=MESSAGE_BG)
    cx, cy, r = 24, 24, 20
    if kind == 'warning':
        pts = [(24, 4.5), (44.5, 41), (3.5, 41)]
        # Rounded corners: draw the triangle with a thick round-joined outline.
        c.polygon(pts, AMBER)
        c.line(pts + [pts[0]], AMBER, 5)
        c.line([(24, 16), (24, 29)], WHITE, 4.2)
        c.circle(24, 35.5, 2.4, fill=WHITE)
    else:
        colour = {'error': RED, 'information': BLUE_INFO, 'question': INDIGO}[kind]
        c.circle(cx, cy, r, fill=colour)
        if kind == 'error':
            c.line([(17, 17), (31, 31)], WHITE, 4)
            c.line([(31, 17), (17, 31)], WHITE, 4)
        elif kind == 'information':
            c.circle(24, 14.5, 2.7, fill=WHITE)
            c.line([(24, 21), (24, 34)], WHITE, 4.4)
    img = c.finish()
    if kind == 'question':
        c.text(img, (24, 25), '?', ('latin', 'bold', 28), WHITE, anchor='mm')
    return img


def settings_divider():
    """A vertical line, darker in the middle column, fading out at both ends:
    drawn a unit row at a time, which at larger scales still fades smoothly."""
    c = Canvas(3, 217, bg=WHITE)
    line = (200, 220, 244)
    for y in range(217):
        edge = min(y, 216 - y)
        t = min(1.0, edge / 40.0)
        c.rect((1, y, 2, y + 1), lerp(WHITE, line, t))
        c.rect((0, y, 1, y + 1), lerp(WHITE, lighten(line, 0.6), t))
        c.rect((2, y, 3, y + 1), lerp(WHITE, lighten(line, 0.6), t))
    return c.finish()


def about_band():
    c = Canvas(460, 2, bg=BAND)
    c.rect((0, 0, 460, 1), (116, 162, 226))
    c.rect((0, 1, 460, 2), (172, 206, 248))
    return c.finish()


def about_header():
    return _mark_on(64, 60, BAND)


def _mark_on(canvas_size, mark_size, ground):
    """The mark drawn at its size in pixels of the scale (not enlarged),
    centred on a square of the ground colour."""
    img = Canvas(canvas_size, canvas_size, bg=ground).finish()
    mark = draw_mark(scaled_size(mark_size))
    off = (img.size[0] - mark.size[0]) // 2
    img.paste(mark, (off, off), mark)
    return img


def logo():
    w, h = 161, 50
    c = Canvas(w, h, bg=BAND)
    img = c.finish()
    mark = draw_mark(scaled_size(42), inverse=True)
    img.paste(mark, (scaled_size(2), scaled_size(4)), mark)
    c.text(img, (52, 25), 'Quillary', ('latin', 'bold', 26), WHITE, anchor='ls')
    tag = 'DRIVER UPDATES'
    fnt = skin_font('latin', 'bold', 9)
    x, y = c.at(53, 39)
    for ch in tag:  # letter-spaced
        draw_text(img, (x, y), ch, fnt, TITLE, anchor='ls')
        x += fnt.getlength(ch) + 1.6 * c.kx
    return img


def section_header(kind):
    """Heading strip of the backup and restore pages: a small picture at the
    left, room for the heading at (20, 2), a hairline underneath."""
    w, h = 460, 22
    c = Canvas(w, h, bg=WHITE)
    for x in range(0, w):
        t = 1.0 - max(0.0, (x - 300) / 160.0)
        c.rect((x, 20, x + 1, 21), lerp(WHITE, (200, 220, 246), t))
    if kind == 'information':
        c.circle(8, 10, 7.5, fill=HEADING)
        c.circle(8, 6.2, 1.25, fill=WHITE)
        c.line([(8, 9), (8, 14)], WHITE, 1.9)
    elif kind == 'backup':
        glyph_archive(c, 0, 2, 16, HEADING, 1.5)
    else:
        glyph_history(c, 0, 2, 16, HEADING, 1.5)
    return c.finish()


# --- Home and scan page pictures -----------------------------------------------------------


def home_footer_rule():
    """A hairline that fades out to the right, under the foot of the home page."""
    w, h = 520, 2
    c = Canvas(w, h, bg=WHITE)
    for x in range(w):
        t = min(1.0, x / (w * 0.9))
        c.rect((x, 0, x + 1, 1), lerp((200, 220, 246), WHITE, t))
        c.rect((x, 1, x + 1, 2), lerp((226, 238, 252), WHITE, t))
    return c.finish()


def home_footer_icon():
    c = Canvas(24, 24, bg=WHITE)
    c.circle(12, 12, 11.5, fill=(226, 240, 253))
    glyph_refresh(c, 2, 2, 20, ACCENT, 1.8)
    return c.finish()


def scan_header_icon():
    """A round badge with the magnifier of the start button."""
    c = Canvas(56, 56, bg=WHITE)
    c.circle(28, 28, 27.5, fill=(226, 240, 253))
    c.circle(28, 28, 22, fill=BUTTON['normal'][0])
    glyph_magnifier(c, 13, 13, 30, WHITE, 3.2, BUTTON['normal'][0])
    return c.finish()


def scan_header_art():
    """Devices being looked at: a monitor, a card and a disc on a soft band."""
    w, h = 120, 56
    c = Canvas(w, h, bg=WHITE)
    c.rounded((0, 8, w, 48), 20, (238, 245, 254))
    glyph_monitor(c, 6, 10, 36, ACCENT, 2.0)
    # An expansion card with its contacts.
    c.rounded((50, 20, 78, 38), 2, WHITE, edge=ACCENT, edge_width=2)
    for x in range(54, 76, 4):
        c.rect((x, 38, x + 2, 42), ACCENT)
    c.circle(64, 29, 4, fill=(200, 220, 246))
    # A disc.
    c.circle(98, 28, 13, fill=WHITE, outline=ACCENT, width=2)
    c.circle(98, 28, 3.5, fill=ACCENT)
    return c.finish()


def side_bar_header():
    """The side bar's heading: a light panel with a monitor at the left; the
    program writes the heading at (54, 23)."""
    w, h = 242, 56
    c = Canvas(w, h, bg=(226, 240, 253))
    c.gradient_rounded((1, 10, w - 1, h - 2), 6, WHITE, (234, 244, 254), edge=(194, 218, 244))
    c.circle(27, 32, 17, fill=(226, 240, 253))
    glyph_monitor(c, 13, 18, 28, ACCENT, 2.0)
    return c.finish()


# --- Home page banner and start buttons -------------------------------------------------

SEGMENTS = [(0, 200), (200, 373), (373, 520)]


def banner(code):
    """520 x 100: three steps from left to right. The program writes each
    step's name at (segment left + 26, 25); this picture gives the numbered
    dot before it and a line on what the step does under it."""
    w, h = 520, 100
    c = Canvas(w, h, bg=WHITE)
    tints = [(244, 249, 255), (236, 244, 254), (227, 238, 253)]
    edge = (206, 224, 248)
    c.rounded((0, 0, w, h), 10, edge)
    c.rounded((1, 1, w - 1, h - 1), 9, tints[0])
    # Segments 2 and 3 begin with a chevron pointing right.
    tip = 8
    for i, (x0, x1) in enumerate(SEGMENTS[1:], start=1):
        right = w - 1 if i == 2 else SEGMENTS[i + 1][0] - tip / 2
        pts = [(x0 - tip / 2, 1), (right, 1), (right, h - 1), (x0 - tip / 2, h - 1),
               (x0 + tip / 2, h / 2)]
        if i == 1:
            pts = [(x0 - tip / 2, 1), (SEGMENTS[2][0] - tip / 2, 1),
                   (SEGMENTS[2][0] + tip / 2, h / 2), (SEGMENTS[2][0] - tip / 2, h - 1),
                   (x0 - tip / 2, h - 1), (x0 + tip / 2, h / 2)]
        c.polygon(pts, tints[i])
        c.line([(x0 - tip / 2, 1), (x0 + tip / 2, h / 2), (x0 - tip / 2, h - 1)], edge, 1.2,
               caps=False)
    # Round off the right end again (the last segment's fill is square).
    mask = Canvas(w, h, bg=(0,), mode='L')
    mask.draw.rounded_rectangle(mask.box((1, 1, w - 1, h - 1)), mask.s(9), fill=255)
    outer = Canvas(w, h, bg=WHITE)
    outer.rounded((0, 0, w, h), 10, edge)
    outer.big.paste(c.big, (0, 0), mask.big)
    c.big = outer.big
    c.draw = ImageDraw.Draw(c.big)
    # Step dots, centred on the line where the step names stand.
    for x0, _ in SEGMENTS:
        c.circle(x0 + 13, 34, 8.5, fill=ACCENT)
    # A faint picture for each step in the lower right corner.
    pictures = [glyph_magnifier, glyph_download, None]
    for i, (x0, x1) in enumerate(SEGMENTS):
        size = 30
        ox, oy = x1 - size - (16 if i < 2 else 12), 8
        ink = (208, 226, 249)
        ground = tints[i]
        if pictures[i] is glyph_magnifier:
            glyph_magnifier(c, ox, oy, size, ink, 2.6, ground)
        elif pictures[i] is glyph_download:
            glyph_download(c, ox, oy, size, ink, 2.6)
        else:
            glyph_gear(c, ox, oy, size, ink, 2.6, ground)
    img = c.finish()
    digits = STEP_DIGITS.get(code, '123')
    for i, (x0, _) in enumerate(SEGMENTS):
        c.text(img, (x0 + 13, 34.5), digits[i], ('arabic' if code == 'ar' else 'latin', 'bold', 11),
               WHITE, anchor='mm')
    # The captions: two lines at most, under the step names.
    section, script = LANGUAGES[code]
    rtl = code == 'ar'
    direction = 'rtl' if rtl else None
    for i, (x0, x1) in enumerate(SEGMENTS):
        left = x0 + 26
        right = x1 - (14 if i < 2 else 12)
        width = right - left
        # The lines are broken as at 100 % (measured in units there), so that
        # every scale shows the same lines; only the drawing is at the scale.
        for size in (12, 11, 10):
            fnt = font(script, 'regular', size)
            lines = wrap(BANNER_CAPTIONS[code][i], fnt, width, cjk=(code == 'jp'),
                         direction=direction)
            if len(lines) <= 2 and all(text_size(l, fnt, direction)[0] <= width for l in lines):
                break
        # Left-aligned in every language, under the step name, which the
        # program also starts at the left.
        y = 56
        for line in lines[:2]:
            c.text(img, (left, y), line, (script, 'regular', size), (98, 128, 172), anchor='la',
                   direction=direction, language='ar' if rtl else None)
            y += size + 5
    return img


def start_button(code, state, words):
    """450 x 120: the home page's big start button with the language's words."""
    w, h = 450, 120
    c = Canvas(w, h, bg=WHITE)
    fill, edge = BUTTON[state]
    top = lighten(fill, 0.16)
    press = 2 if state == 'pressed' else 0
    soft_shadow(c, (8, 10 + press * 2, w - 8, h - 4), 16, press)
    c.gradient_rounded((6, 4 + press, w - 6, h - 12 + press), 16, top, fill, edge=edge)
    # The magnifier in a white disc.
    cx, cy = 66, 54 + press
    c.circle(cx, cy, 36, fill=WHITE)
    glyph_magnifier(c, cx - 22, cy - 22, 44, fill, 5.2, WHITE)
    img = c.finish()
    section, script = LANGUAGES[code]
    rtl = code == 'ar'
    direction = 'rtl' if rtl else None
    left, right = 124, w - 32
    size = fit_font(words, script, 'bold', 38, right - left, min_size=18, direction=direction)
    cx = (left + right) / 2
    c.text(img, (cx, 54 + press), words, (script, 'bold', size), WHITE, anchor='mm',
           direction=direction, language='ar' if rtl else None)
    return img


# --- Icons --------------------------------------------------------------------------------

ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def write_ico(path, images):
    """An ICO file: PNG for 256 pixels, 32-bit DIBs with an AND mask below."""
    entries, blobs = [], []
    for img in images:
        w, h = img.size
        if w >= 256:
            buf = io.BytesIO()
            img.save(buf, format='PNG')
            blob = buf.getvalue()
        else:
            rows = []
            px = img.load()
            for y in range(h - 1, -1, -1):
                row = bytearray()
                for x in range(w):
                    r, g, b, a = px[x, y]
                    row += bytes((b, g, r, a))
                rows.append(bytes(row))
            mask_stride = ((w + 31) // 32) * 4
            mask = bytearray()
            for y in range(h - 1, -1, -1):
                bits = bytearray(mask_stride)
                for x in range(w):
                    if px[x, y][3] == 0:
                        bits[x // 8] |= 0x80 >> (x % 8)
                mask += bits
            header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0,
                                 len(rows) * w * 4 + len(mask), 0, 0, 0, 0)
            blob = header + b''.join(rows) + bytes(mask)
        entries.append((w, h, blob))
        blobs.append(blob)
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for w, h, blob in entries:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(out + b''.join(blobs))


# --- The catalogue ------------------------------------------------------------------------

BITMAPS_RC = 'skin_bitmaps.rc'  # the BITMAP lines quillary.rc includes


def catalogue():
    """name -> (kind, width, height, draw function)."""
    art = {}

    def bitmap(name, w, h, fn):
        art['bitmap_' + name] = ('bitmap', w, h, fn)

    states = ('normal', 'hover', 'pressed')
    for kind in ('home', 'download', 'backup', 'restore', 'settings'):
        for s in states:
            bitmap(f'top_{kind}_{s}', 83, 67, lambda kind=kind, s=s: nav_button(kind, s))
    bitmap('header_strip', 5, 24, header_strip)
    for kind in ('menu', 'minimise', 'maximise', 'restore', 'close'):
        for s in states:
            bitmap(f'caption_{kind}_{s}', 30, 21, lambda kind=kind, s=s: caption_button(kind, s))
    bitmap('logo', 161, 50, logo)
    for s in states:
        bitmap(f'close_{s}', 31, 21, lambda s=s: dialog_close(s))
        bitmap(f'dialog_button_{s}', 80, 22, lambda s=s: filled_button(80, 22, s, WHITE))
        bitmap(f'about_button_{s}', 130, 24, lambda s=s: filled_button(130, 24, s, BAND))
        bitmap(f'message_button_{s}', 70, 24, lambda s=s: filled_button(70, 24, s, BAND))
        bitmap(f'action_button_{s}', 280, 56, lambda s=s: action_button(s))
        bitmap(f'panel_button_{s}', 90, 24, lambda s=s: filled_button(90, 24, s, WHITE))
        bitmap(f'download_all_{s}', 106, 27, lambda s=s: filled_button(106, 27, s, DOWNLOAD_BAR))
    bitmap('settings_divider', 3, 217, settings_divider)
    bitmap('about_header', 64, 64, about_header)
    bitmap('about_band', 460, 2, about_band)
    for kind in ('error', 'warning', 'information', 'question'):
        bitmap(f'message_{kind}', 48, 48, lambda kind=kind: message_picture(kind))
    bitmap('backup_settings_header', 460, 22, lambda: section_header('backup'))
    bitmap('information_header', 460, 22, lambda: section_header('information'))
    bitmap('restore_settings_header', 460, 22, lambda: section_header('restore'))

    bitmap('home_footer_rule', 520, 2, home_footer_rule)
    bitmap('home_footer_icon', 24, 24, home_footer_icon)
    bitmap('scan_header_icon', 56, 56, scan_header_icon)
    bitmap('scan_header_art', 120, 56, scan_header_art)
    bitmap('side_bar_header', 242, 56, side_bar_header)
    for kind in ('needed', 'not_needed', 'no_driver'):
        bitmap(f'status_{kind}', 16, 16, lambda kind=kind: status_picture(kind))

    words = read_language_texts(os.path.join(HERE, 'language.ini'), 'home_start_scan')
    for code, (section, _) in LANGUAGES.items():
        if code != 'nl':  # Dutch shows the English banner
            bitmap(f'banner_{code}', 520, 100, lambda code=code: banner(code))
        text = words.get(section) or words.get('English')
        if not text:
            sys.exit(f'draw_skin: language.ini has no home_start_scan for {section}')
        for s in states:
            bitmap(f'start_button_{code}_{s}', 450, 120,
                   lambda code=code, s=s, text=text: start_button(code, s, text))

    art['icon_application'] = ('icon', 0, 0, lambda: [draw_mark(n) for n in ICON_SIZES])
    art['icon_alert'] = ('icon', 0, 0, lambda: [draw_alert_mark(n) for n in ICON_SIZES])
    return art


def file_name(name, kind, scale=100):
    if kind == 'icon':
        return name + '.ico'  # one file holds every size
    # The 100 % pictures stay BMP: they are the program's BITMAP resources.
    return name + ('.bmp' if scale == 100 else f'@{scale}.png')


def outputs(art):
    """(name, kind, scale, file) of every picture file --out writes."""
    for name, (kind, *_rest) in art.items():
        for scale in (SCALES if kind == 'bitmap' else (100,)):
            yield name, kind, scale, file_name(name, kind, scale)


def check_against_ids(art, ids):
    wanted = {n for n in ids if n.startswith(('bitmap_', 'icon_'))}
    missing = sorted(wanted - set(art))
    extra = sorted(set(art) - wanted)
    if missing or extra:
        sys.exit('draw_skin: resource_ids.h and the drawings disagree; '
                 f'not drawn: {missing}; drawn without a number: {extra}')
    too_high = sorted(n for n in wanted if n.startswith('bitmap_')
                      and not 0 < ids[n] < SCALE_NUMBER_STEP)
    if too_high:
        sys.exit(f'draw_skin: bitmap numbers must lie between 1 and {SCALE_NUMBER_STEP - 1}, '
                 f'the larger scales\' numbers are made from them: {too_high}')


def write_if_changed(path, text):
    # An unchanged file keeps its time, so the resources are not compiled again.
    if not os.path.exists(path) or open(path, encoding='utf-8').read() != text:
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)


def write_rc_header(path, ids):
    lines = ['// Generated by resources/draw_skin.py from resource_ids.h: do not edit.',
             '#pragma once']
    lines += [f'#define {name} {number}' for name, number in ids.items()]
    write_if_changed(path, '\n'.join(lines) + '\n')


def write_bitmaps_rc(path, art, ids):
    """The picture lines of quillary.rc: each bitmap by its name at 100 % as
    a BITMAP, and its larger variants as PNG resources by the numbers the
    program computes from it (load_skin_bitmap decodes them)."""
    larger = ', '.join(f'{s} %' for s in SCALES[1:])
    steps = ', '.join(f'N + {SCALE_NUMBER_STEP * k}' for k in range(1, len(SCALES)))
    lines = ['// Generated by resources/draw_skin.py: do not edit. Included by quillary.rc.',
             f'// Bitmap N at {larger} is number {steps}, of the type PNG.']
    for name, kind, scale, file in outputs(art):
        if kind != 'bitmap':
            continue
        number = ids[name] + SCALE_NUMBER_STEP * SCALES.index(scale)
        if scale == 100:
            lines.append(f'{name} BITMAP "{file}"')
        else:
            lines.append(f'{number} PNG "{file}"')
    write_if_changed(path, '\n'.join(lines) + '\n')


def render(name, kind, w, h, fn, scale=100):
    """Draws one picture at a scale (per cent); icons only at 100 %, as their
    files hold each size in pixels already."""
    global _scale
    _scale = scale / 100
    try:
        result = fn()
        size = (scaled_size(w), scaled_size(h))
    finally:
        _scale = 1.0
    if kind == 'bitmap':
        if result.size != size or result.mode != 'RGB':
            sys.exit(f'draw_skin: {name} at {scale} % came out {result.size} {result.mode}, '
                     f'not {size[0]} x {size[1]} RGB')
    return result


def save_bitmap(img, target, scale):
    if scale == 100:
        img.save(target, format='BMP')
    else:
        # RGB, no alpha: the pixels the BMP would hold, decoded by the program.
        img.save(target, format='PNG', optimize=True)


def contact_sheet(art, path, scale=100, zoom=2):
    pictures = []
    for name, (kind, w, h, fn) in art.items():
        if kind == 'icon':
            for img in render(name, kind, w, h, fn):
                if img.size[0] <= 64:
                    flat = Image.new('RGB', img.size, (250, 250, 250))
                    flat.paste(img, (0, 0), img)
                    pictures.append((f'{name} {img.size[0]}', flat))
        else:
            label = name if scale == 100 else f'{name}@{scale}'
            pictures.append((label, render(name, kind, w, h, fn, scale)))
    label_font = font('latin', 'regular', 11)
    pad = 12
    width = max(2300, max(img.size[0] * zoom for _, img in pictures) + 2 * pad)
    x = y = pad
    row_h = 0
    placed = []
    for label, img in pictures:
        w, h = img.size[0] * zoom, img.size[1] * zoom + 16
        w = max(w, int(label_font.getlength(label)) + 4)
        if x + w > width - pad:
            x, y = pad, y + row_h + pad
            row_h = 0
        placed.append((x, y, label, img))
        x += w + pad
        row_h = max(row_h, h)
    sheet = Image.new('RGB', (width, y + row_h + pad), (200, 200, 200))
    for x, y, label, img in placed:
        draw_text(sheet, (x, y), label, label_font, (40, 40, 40))
        sheet.paste(img.resize((img.size[0] * zoom, img.size[1] * zoom), Image.NEAREST),
                    (x, y + 16))
    sheet.save(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--out', help='folder for the pictures and resource_ids_rc.h')
    parser.add_argument('--list', action='store_true', help='print the files --out writes')
    parser.add_argument('--sheet', help='write a contact sheet PNG')
    parser.add_argument('--scale', type=int, choices=SCALES, default=100,
                        help='the scale (per cent) of the contact sheet\'s bitmaps')
    parser.add_argument('--zoom', type=int,
                        help='contact sheet pixels per picture pixel (2 at 100 %%, else 1)')
    parser.add_argument('--only', help='draw only the pictures whose names contain this')
    args = parser.parse_args()

    ids = read_resource_ids(os.path.join(HERE, 'resource_ids.h'))
    art = catalogue()
    check_against_ids(art, ids)
    everything = art
    if args.only:
        art = {k: v for k, v in art.items() if args.only in k}
    if args.list:
        for *_rest, file in outputs(art):
            print(file)
        print('resource_ids_rc.h')
        print(BITMAPS_RC)
    if args.out:
        os.makedirs(args.out, exist_ok=True)
        for name, kind, scale, file in outputs(art):
            w, h, fn = art[name][1:]
            result = render(name, kind, w, h, fn, scale)
            target = os.path.join(args.out, file)
            if kind == 'bitmap':
                save_bitmap(result, target, scale)
            else:
                write_ico(target, result)
        write_rc_header(os.path.join(args.out, 'resource_ids_rc.h'), ids)
        # Always every bitmap, even with --only: the resource script names them all.
        write_bitmaps_rc(os.path.join(args.out, BITMAPS_RC), everything, ids)
    if args.sheet:
        zoom = args.zoom or (2 if args.scale == 100 else 1)
        contact_sheet(art, args.sheet, args.scale, zoom)
    if not (args.list or args.out or args.sheet):
        parser.error('nothing to do: give --out, --list or --sheet')


if __name__ == '__main__':
    main()
