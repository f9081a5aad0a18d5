#!/usr/bin/python3
"""Draws Quillary's skin: every bitmap and icon that quillary.rc names.

    draw_skin.py --out DIR            draw everything into DIR
    draw_skin.py --list               print the file names that --out writes
    draw_skin.py --sheet FILE.png     a contact sheet of all pictures, 2x

Pictures are drawn from shapes and text in this file; nothing is traced from
other artwork. Shapes are drawn at four times the size and reduced with a box
filter (so 1-pixel lines on pixel edges stay crisp and curves are smooth);
small text is drawn afterwards at the final size, where FreeType's hinting
keeps it sharp.

The numbers come from resource_ids.h beside this file: a bitmap_NAME entry
becomes bitmap_NAME.bmp (24-bit), an icon_NAME entry icon_NAME.ico (several
sizes, 32-bit with alpha). The script also writes resource_ids_rc.h, the same
numbers as #defines for the resource compiler. The words on the home page's
start buttons are the "home_start_scan" texts of language.ini.

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
    """Shapes in final-pixel coordinates, drawn SS times larger."""

    def __init__(self, w, h, bg=WHITE, mode='RGB'):
        self.w, self.h = w, h
        self.mode = mode
        if mode == 'RGBA':
            bg = bg if len(bg) == 4 else bg + (255,)
        self.big = Image.new(mode, (w * SS, h * SS), bg)
        self.draw = ImageDraw.Draw(self.big)

    @staticmethod
    def s(v):
        return round(v * SS)

    def box(self, b):
        # Boxes are pixel edges: (0, 0, 10, 10) covers pixels 0..9.
        x0, y0, x1, y1 = b
        return [self.s(x0), self.s(y0), self.s(x1) - 1, self.s(y1) - 1]

    def rect(self, b, fill):
        self.draw.rectangle(self.box(b), fill=fill)

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
        w, h = self.s(x1) - self.s(x0), self.s(y1) - self.s(y0)
        fill = Image.new('RGB', (w, h))
        fd = ImageDraw.Draw(fill)
        for y in range(h):
            fd.line([(0, y), (w, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
        mask = Image.new('L', (w, h), 0)
        ImageDraw.Draw(mask).rounded_rectangle([0, 0, w - 1, h - 1], self.s(r), fill=255)
        if self.mode == 'RGBA':
            fill = fill.convert('RGBA')
        self.big.paste(fill, (self.s(x0), self.s(y0)), mask)

    def circle(self, cx, cy, r, fill=None, outline=None, width=1):
        b = [self.s(cx - r), self.s(cy - r), self.s(cx + r) - 1, self.s(cy + r) - 1]
        self.draw.ellipse(b, fill=fill, outline=outline,
                          width=self.s(width) if outline else 0)

    def polygon(self, points, fill):
        self.draw.polygon([(self.s(x), self.s(y)) for x, y in points], fill=fill)

    def line(self, points, colour, width, caps=True):
        pts = [(self.s(x), self.s(y)) for x, y in points]
        self.draw.line(pts, fill=colour, width=self.s(width), joint='curve')
        if caps:
            r = width * SS / 2
            for x, y in (pts[0], pts[-1]):
                self.draw.ellipse([x - r, y - r, x + r - 1, y + r - 1], fill=colour)

    def arc(self, cx, cy, r, start, end, colour, width):
        """An arc of the circle through the middle of the stroke; angles in
        degrees, clockwise from three o'clock, as PIL counts them."""
        ro = r + width / 2
        b = [self.s(cx - ro), self.s(cy - ro), self.s(cx + ro) - 1, self.s(cy + ro) - 1]
        self.draw.arc(b, start, end, fill=colour, width=self.s(width))
        for a in (start, end):
            x = cx + r * math.cos(math.radians(a))
            y = cy + r * math.sin(math.radians(a))
            self.circle(x, y, width / 2, fill=colour)

    def finish(self):
        return self.big.reduce(SS)


def text_size(text, fnt, direction=None):
    box = fnt.getbbox(text, direction=direction)
    return box[2] - box[0], box


def draw_text(img, xy, text, fnt, colour, anchor='la', direction=None, language=None):
    ImageDraw.Draw(img).text(xy, text, font=fnt, fill=colour, anchor=anchor,
                             direction=direction, language=language)


def fit_font(text, script, weight, max_size, max_width, min_size=10, direction=None):
    for size in range(max_size, min_size - 1, -1):
        fnt = font(script, weight, size)
        if text_size(text, fnt, direction)[0] <= max_width:
            return fnt
    return font(script, weight, min_size)


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
    image of size x size."""
    c = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA')
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
    inner = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA')
    inner.circle(cx, cy, r - stroke / 2, fill=(255, 255, 255, 255))
    hole = inner.big.split()[3]
    if inverse:
        c.big.paste(Image.new('RGBA', c.big.size, WHITE + (255,)), (0, 0), hole)
    else:
        # Refill the hole with the square's gradient.
        ground = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA')
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
    c = Canvas(size, size, bg=(0, 0, 0, 0), mode='RGBA')
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
    img = Image.new('RGB', (5, 24), STRIP)
    # A hairline of the band colour at the bottom eases the strip into the band.
    ImageDraw.Draw(img).line([(0, 23), (4, 23)], fill=lerp(STRIP, BAND, 0.5))
    return img


def caption_button(kind, state, w=30, h=21, ground=STRIP, close_red=True):
    """Caption buttons: a flat square that lightens on hover and darkens when
    pressed (the close button turns red)."""
    fills = {'normal': ground, 'hover': STRIP_HOVER if ground == STRIP else lighten(ground, 0.22),
             'pressed': STRIP_PRESSED if ground == STRIP else lerp(ground, (60, 100, 170), 0.45)}
    fill = fills[state]
    if kind == 'close' and close_red and state != 'normal':
        fill = (226, 74, 74) if state == 'hover' else (184, 46, 46)
    c = Canvas(w, h, bg=fill)
    if ground == STRIP and h == 21:
        # The button reaches one row below the 24-pixel strip on frames of
        # four pixels: that row is the band's.
        c.rect((0, h - 1, w, h), BAND if state == 'normal' else fill)
    ink = WHITE if state != 'normal' else TITLE
    x0 = (w - 10) // 2
    y0 = (h - 1 - 10) // 2
    if kind == 'close':
        c.line([(x0 + 0.5, y0 + 0.5), (x0 + 9.5, y0 + 9.5)], ink, 1.3, caps=False)
        c.line([(x0 + 9.5, y0 + 0.5), (x0 + 0.5, y0 + 9.5)], ink, 1.3, caps=False)
    elif kind == 'minimise':
        c.rect((x0, y0 + 8, x0 + 10, y0 + 9), ink)
    elif kind == 'maximise':
        c.rect((x0, y0, x0 + 10, y0 + 10), ink)
        c.rect((x0 + 1, y0 + 2, x0 + 9, y0 + 9), fill)
    elif kind == 'restore':
        c.rect((x0 + 2, y0, x0 + 10, y0 + 8), ink)
        c.rect((x0 + 3, y0 + 1, x0 + 9, y0 + 7), fill)
        c.rect((x0, y0 + 2, x0 + 8, y0 + 10), ink)
        c.rect((x0 + 1, y0 + 4, x0 + 7, y0 + 9), fill)
    elif kind == 'menu':
        for dy in (1, 5, 9):
            c.rect((x0, y0 + dy, x0 + 10, y0 + dy + 1), ink)
    return c.finish()


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
    x0, y0, x1, y1 = box
    shadow = Image.new('L', (w, h), 0)
    ImageDraw.Draw(shadow).rounded_rectangle(
        [c.s(x0), c.s(y0), c.s(x1) - 1, c.s(y1) - 1], c.s(radius), fill=255)
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
        fnt = font('latin', 'bold', 28)
        draw_text(img, (24, 25), '?', fnt, WHITE, anchor='mm')
    return img


def settings_divider():
    img = Image.new('RGB', (3, 217), WHITE)
    d = ImageDraw.Draw(img)
    line = (200, 220, 244)
    for y in range(217):
        edge = min(y, 216 - y)
        t = min(1.0, edge / 40.0)
        d.point((1, y), fill=lerp(WHITE, line, t))
        d.point((0, y), fill=lerp(WHITE, lighten(line, 0.6), t))
        d.point((2, y), fill=lerp(WHITE, lighten(line, 0.6), t))
    return img


def about_band():
    img = Image.new('RGB', (460, 2), BAND)
    d = ImageDraw.Draw(img)
    d.line([(0, 0), (459, 0)], fill=(116, 162, 226))
    d.line([(0, 1), (459, 1)], fill=(172, 206, 248))
    return img


def about_header():
    return _mark_on(64, 60, BAND)


def _mark_on(canvas_size, mark_size, ground):
    img = Image.new('RGB', (canvas_size, canvas_size), ground)
    mark = draw_mark(mark_size)
    off = (canvas_size - mark_size) // 2
    img.paste(mark, (off, off), mark)
    return img


def logo():
    w, h = 161, 50
    img = Image.new('RGB', (w, h), BAND)
    mark = draw_mark(42, inverse=True)
    img.paste(mark, (2, 4), mark)
    draw_text(img, (52, 25), 'Quillary', font('latin', 'bold', 26), WHITE, anchor='ls')
    tag = 'DRIVER UPDATES'
    fnt = font('latin', 'bold', 9)
    x = 53
    for ch in tag:  # letter-spaced
        draw_text(img, (x, 39), ch, fnt, TITLE, anchor='ls')
        x += fnt.getlength(ch) + 1.6
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
    img = Image.new('RGB', (w, h), WHITE)
    d = ImageDraw.Draw(img)
    for x in range(w):
        t = min(1.0, x / (w * 0.9))
        d.point((x, 0), fill=lerp((200, 220, 246), WHITE, t))
        d.point((x, 1), fill=lerp((226, 238, 252), WHITE, t))
    return img


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
        fnt = font('arabic' if code == 'ar' else 'latin', 'bold', 11)
        draw_text(img, (x0 + 13, 34.5), digits[i], fnt, WHITE, anchor='mm')
    # The captions: two lines at most, under the step names.
    section, script = LANGUAGES[code]
    rtl = code == 'ar'
    direction = 'rtl' if rtl else None
    for i, (x0, x1) in enumerate(SEGMENTS):
        left = x0 + 26
        right = x1 - (14 if i < 2 else 12)
        width = right - left
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
            draw_text(img, (left, y), line, fnt, (98, 128, 172), anchor='la',
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
    fnt = fit_font(words, script, 'bold', 38, right - left, min_size=18, direction=direction)
    cx = (left + right) / 2
    draw_text(img, (cx, 54 + press), words, fnt, WHITE, anchor='mm', direction=direction,
              language='ar' if rtl else None)
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


def file_name(name, kind):
    return name + ('.bmp' if kind == 'bitmap' else '.ico')


def check_against_ids(art, ids):
    wanted = {n for n in ids if n.startswith(('bitmap_', 'icon_'))}
    missing = sorted(wanted - set(art))
    extra = sorted(set(art) - wanted)
    if missing or extra:
        sys.exit('draw_skin: resource_ids.h and the drawings disagree; '
                 f'not drawn: {missing}; drawn without a number: {extra}')


def write_rc_header(path, ids):
    lines = ['// Generated by resources/draw_skin.py from resource_ids.h: do not edit.',
             '#pragma once']
    lines += [f'#define {name} {number}' for name, number in ids.items()]
    text = '\n'.join(lines) + '\n'
    if not os.path.exists(path) or open(path, encoding='utf-8').read() != text:
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)


def render(name, kind, w, h, fn):
    result = fn()
    if kind == 'bitmap':
        if result.size != (w, h) or result.mode != 'RGB':
            sys.exit(f'draw_skin: {name} came out {result.size} {result.mode}, not {w} x {h} RGB')
    return result


def contact_sheet(art, path):
    pictures = []
    for name, (kind, w, h, fn) in art.items():
        result = render(name, kind, w, h, fn)
        if kind == 'icon':
            for img in result:
                if img.size[0] <= 64:
                    flat = Image.new('RGB', img.size, (250, 250, 250))
                    flat.paste(img, (0, 0), img)
                    pictures.append((f'{name} {img.size[0]}', flat))
        else:
            pictures.append((name, result))
    label_font = font('latin', 'regular', 11)
    width, pad = 2300, 12
    x = y = pad
    row_h = 0
    placed = []
    for label, img in pictures:
        w, h = img.size[0] * 2, img.size[1] * 2 + 16
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
        sheet.paste(img.resize((img.size[0] * 2, img.size[1] * 2), Image.NEAREST), (x, y + 16))
    sheet.save(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--out', help='folder for the pictures and resource_ids_rc.h')
    parser.add_argument('--list', action='store_true', help='print the files --out writes')
    parser.add_argument('--sheet', help='write a contact sheet PNG')
    parser.add_argument('--only', help='draw only the pictures whose names contain this')
    args = parser.parse_args()

    ids = read_resource_ids(os.path.join(HERE, 'resource_ids.h'))
    art = catalogue()
    check_against_ids(art, ids)
    if args.only:
        art = {k: v for k, v in art.items() if args.only in k}
    if args.list:
        for name, (kind, *_rest) in art.items():
            print(file_name(name, kind))
        print('resource_ids_rc.h')
    if args.out:
        os.makedirs(args.out, exist_ok=True)
        for name, (kind, w, h, fn) in art.items():
            result = render(name, kind, w, h, fn)
            target = os.path.join(args.out, file_name(name, kind))
            if kind == 'bitmap':
                result.save(target, format='BMP')
            else:
                write_ico(target, result)
        write_rc_header(os.path.join(args.out, 'resource_ids_rc.h'), ids)
    if args.sheet:
        contact_sheet(art, args.sheet)
    if not (args.list or args.out or args.sheet):
        parser.error('nothing to do: give --out, --list or --sheet')


if __name__ == '__main__':
    main()
