#!/usr/bin/python3
"""Tests of draw_skin.py: it draws what quillary.rc needs, in the formats the
program loads, on the grounds the windows put the pictures on, with button
states that can be told apart.

    test_draw_skin.py [ART_DIR]

With ART_DIR (the build's art folder) the pictures there are checked;
otherwise the script draws them into a temporary folder first.
"""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

from PIL import Image, ImageChops, ImageStat

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, 'draw_skin.py')
ART = None

# What the program relies on: the scales after 100 % whose variants it loads,
# and the step between a bitmap's number and its variants' (N + 1000 k for
# the k-th of them). Stated here, not taken from the script, so that a change
# there that the program would not follow fails.
LARGER_SCALES = (125, 150, 200)
NUMBER_STEP = 1000

BAND = (139, 184, 241)
MESSAGE_BG = (226, 240, 253)
WHITE = (255, 255, 255)


def ids():
    found = {}
    with open(os.path.join(HERE, 'resource_ids.h'), encoding='utf-8') as f:
        for line in f:
            m = re.match(r'\s*([a-z][a-z0-9_]*)\s*=\s*(\d+)\s*,', line)
            if m:
                found[m.group(1)] = int(m.group(2))
    return found


def file_of(name, scale=100):
    # The 100 % pictures are BITMAP resources; the larger variants PNG ones.
    return name + ('.bmp' if scale == 100 else f'@{scale}.png')


def picture(name, scale=100):
    file = file_of(name, scale)
    with Image.open(os.path.join(ART, file)) as img:
        img.load()
        return img


def scaled(n, scale):
    """n pixels of 100 % at a scale, halves rounded up as MulDiv does."""
    return (n * scale + 50) // 100


def bitmap_names():
    return sorted(n for n in ids() if n.startswith('bitmap_'))


def bmp_format(name):
    """Bits per pixel and compression of a 100 % bitmap file."""
    with open(os.path.join(ART, file_of(name)), 'rb') as f:
        head = f.read(34)
    return struct.unpack('<HI', head[28:34])


def png_chunks(file):
    """(type, data) of each chunk of a PNG file, after checking its signature."""
    with open(os.path.join(ART, file), 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise AssertionError(f'{file} is not a PNG file')
    chunks, at = [], 8
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        chunks.append((kind.decode('latin-1'), data[at + 8:at + 8 + length]))
        at += 12 + length
    return chunks


def png_format(name, scale):
    """Bit depth, colour type and interlace of a variant's PNG file, and the
    chunks it has besides the picture's own (IHDR, IDAT, IEND): transparency
    (tRNS), gamma or colour profiles (gAMA, sRGB, iCCP, cHRM) would let a
    decoder give other pixels than were drawn."""
    chunks = png_chunks(file_of(name, scale))
    kind, head = chunks[0]
    if kind != 'IHDR':
        raise AssertionError(f'{name} at {scale} %: the PNG starts with {kind}')
    depth, colour, _compression, _filter, interlace = struct.unpack('>BBBBB', head[8:13])
    return depth, colour, interlace, sorted({k for k, _ in chunks} - {'IHDR', 'IDAT', 'IEND'})


def resource_lines():
    """(name, kind, file) of quillary.rc's pictures, with the lines of the
    files it includes from the art folder."""
    with open(os.path.join(HERE, 'quillary.rc'), encoding='utf-8') as f:
        rc = f.read()
    for included in re.findall(r'^#include "([^"]+)"', rc, re.M):
        if os.path.exists(os.path.join(ART, included)):
            with open(os.path.join(ART, included), encoding='utf-8') as f:
                rc += '\n' + f.read()
    return re.findall(r'^(\w+)\s+(BITMAP|PNG|ICON)\s+"([^"]+)"', rc, re.M)


def luminance(img, box=None):
    region = img.crop(box) if box else img
    pixels = list(region.convert('L').getdata())
    return sum(pixels) / len(pixels)


class files(unittest.TestCase):
    def test_every_picture_the_resource_script_names_is_drawn(self):
        named = resource_lines()
        self.assertGreater(len(named), 90)
        numbers = ids()
        for name, kind, file in named:
            self.assertTrue(os.path.exists(os.path.join(ART, file)), f'{file} was not drawn')
            if name.isdigit():
                continue  # a larger scale's variant: see scales below
            self.assertIn(name, numbers, f'{name} has no number in resource_ids.h')
        drawn_in_rc = {name for name, _, _ in named}
        for name in numbers:
            if name.startswith(('bitmap_', 'icon_')):
                self.assertIn(name, drawn_in_rc, f'{name} is not in quillary.rc')

    def test_the_list_names_exactly_what_is_written(self):
        listed = subprocess.run([sys.executable, SCRIPT, '--list'], check=True,
                                capture_output=True, text=True).stdout.split()
        self.assertEqual(sorted(listed), sorted(os.listdir(ART)))

    def test_the_resource_compiler_header_has_every_number(self):
        with open(os.path.join(ART, 'resource_ids_rc.h'), encoding='utf-8') as f:
            defines = dict(re.findall(r'#define (\w+) (\d+)', f.read()))
        self.assertEqual({k: int(v) for k, v in defines.items()}, ids())

    def test_bitmaps_are_24_bit_bottom_up_dibs(self):
        for file in os.listdir(ART):
            if not file.endswith('.bmp'):
                continue
            with open(os.path.join(ART, file), 'rb') as f:
                head = f.read(54)
            self.assertEqual(head[:2], b'BM', file)
            size, width, height, planes, bits, compression = struct.unpack('<IiiHHI', head[14:34])
            self.assertEqual((size, planes, bits, compression), (40, 1, 24, 0), file)
            self.assertGreater(height, 0, f'{file}: top-down bitmaps are not loaded by all code')

    def test_icons_have_every_size_with_transparent_corners(self):
        for name in ('icon_application', 'icon_alert'):
            with open(os.path.join(ART, name + '.ico'), 'rb') as f:
                data = f.read()
            reserved, kind, count = struct.unpack('<HHH', data[:6])
            self.assertEqual((reserved, kind), (0, 1))
            sizes = set()
            for i in range(count):
                w, h, _, _, planes, bits, length, offset = struct.unpack(
                    '<BBBBHHII', data[6 + 16 * i:22 + 16 * i])
                self.assertEqual(bits, 32)
                sizes.add(w or 256)
                self.assertLessEqual(offset + length, len(data))
            self.assertTrue({16, 20, 24, 32, 40, 48, 64, 256} <= sizes, sizes)
            with Image.open(os.path.join(ART, name + '.ico')) as ico:
                ico.size = (32, 32)
                img = ico.convert('RGBA')
            self.assertEqual(img.getpixel((0, 0))[3], 0, f'{name}: opaque corner')
            self.assertEqual(img.getpixel((16, 16))[3], 255, f'{name}: see-through middle')


class grounds(unittest.TestCase):
    """24-bit pictures have no transparency: their edges must be the colour
    of the surface the window draws them on."""

    def corners(self, name, colour, inset=0):
        img = picture(name).convert('RGB')
        w, h = img.size
        for x, y in ((inset, inset), (w - 1 - inset, inset)):
            self.assertEqual(img.getpixel((x, y)), colour, f'{name} at {(x, y)}')

    def test_header_pictures_sit_on_the_caption_band(self):
        for kind in ('home', 'download', 'backup', 'restore', 'settings'):
            for state in ('normal', 'hover', 'pressed'):
                self.corners(f'bitmap_top_{kind}_{state}', BAND)
        self.corners('bitmap_logo', BAND)
        self.corners('bitmap_about_header', BAND)
        for state in ('normal', 'hover', 'pressed'):
            self.corners(f'bitmap_message_button_{state}', BAND)
            self.corners(f'bitmap_about_button_{state}', BAND)
        self.corners('bitmap_close_normal', BAND)

    def test_caption_buttons_match_the_strip(self):
        strip = picture('bitmap_header_strip').convert('RGB')
        for kind in ('menu', 'minimise', 'maximise', 'restore', 'close'):
            img = picture(f'bitmap_caption_{kind}_normal').convert('RGB')
            self.assertEqual(img.getpixel((0, 0)), strip.getpixel((0, 0)), kind)

    def test_message_pictures_sit_on_the_message_background(self):
        for kind in ('error', 'warning', 'information', 'question'):
            self.corners(f'bitmap_message_{kind}', MESSAGE_BG)

    def test_page_pictures_sit_on_white(self):
        for state in ('normal', 'hover', 'pressed'):
            self.corners(f'bitmap_dialog_button_{state}', WHITE)
            self.corners(f'bitmap_action_button_{state}', WHITE)
        for name in ('bitmap_backup_settings_header', 'bitmap_information_header',
                     'bitmap_restore_settings_header', 'bitmap_banner_en'):
            self.corners(name, WHITE)


class states(unittest.TestCase):
    """Hover is lighter and pressed darker than normal, visibly."""

    def ordered(self, prefix, box_of=None, hover_lighter=True):
        normal, hover, pressed = (picture(f'{prefix}_{s}') for s in ('normal', 'hover', 'pressed'))
        box = box_of(normal.size) if box_of else None
        n, h, p = (luminance(img, box) for img in (normal, hover, pressed))
        if hover_lighter:
            self.assertGreater(h, n + 8, f'{prefix}: hover not lighter ({n:.0f} -> {h:.0f})')
        else:
            self.assertGreater(abs(h - n), 8, f'{prefix}: hover looks like normal')
        self.assertLess(p, min(n, h) - 8, f'{prefix}: pressed not darker ({n:.0f} -> {p:.0f})')

    def test_filled_buttons(self):
        inner = lambda size: (4, 4, size[0] - 4, size[1] - 8)
        for prefix in ('bitmap_dialog_button', 'bitmap_about_button', 'bitmap_message_button',
                       'bitmap_action_button'):
            self.ordered(prefix, inner)
        for code in ('en', 'de', 'fr', 'es', 'it', 'jp', 'pt', 'nl', 'ar'):
            self.ordered(f'bitmap_start_button_{code}', lambda size: (110, 20, size[0] - 20, 90))

    def test_caption_buttons(self):
        for kind in ('menu', 'minimise', 'maximise', 'restore'):
            self.ordered(f'bitmap_caption_{kind}')
        # Close buttons turn red under the pointer rather than lighter.
        self.ordered('bitmap_caption_close', hover_lighter=False)
        self.ordered('bitmap_close', hover_lighter=False)

    def test_navigation_buttons_light_up_as_a_tab_when_pressed(self):
        for kind in ('home', 'download', 'backup', 'restore', 'settings'):
            normal, hover, pressed = (picture(f'bitmap_top_{kind}_{s}') for s in ('normal', 'hover', 'pressed'))
            self.assertGreater(abs(luminance(hover) - luminance(normal)), 8, kind)
            # The program writes the pressed label in blue: its ground must be light.
            self.assertGreater(luminance(pressed, (10, 45, 73, 60)), 235, kind)


class languages(unittest.TestCase):
    def test_each_language_has_its_own_words(self):
        seen = {}
        for code in ('en', 'de', 'fr', 'es', 'it', 'jp', 'pt', 'nl', 'ar'):
            data = picture(f'bitmap_start_button_{code}_normal').tobytes()
            self.assertNotIn(data, seen, f'{code} looks like {seen.get(data)}')
            seen[data] = code
        banners = {}
        for code in ('en', 'de', 'fr', 'es', 'it', 'jp', 'pt', 'ar'):
            data = picture(f'bitmap_banner_{code}').tobytes()
            self.assertNotIn(data, banners, f'{code} banner looks like {banners.get(data)}')
            banners[data] = code

    def test_the_words_are_drawn_in_white_on_the_button(self):
        for code in ('en', 'de', 'fr', 'es', 'it', 'jp', 'pt', 'nl', 'ar'):
            img = picture(f'bitmap_start_button_{code}_normal').convert('RGB')
            words = img.crop((125, 30, 430, 80))
            white = sum(1 for p in words.getdata() if min(p) > 240)
            self.assertGreater(white, 300, f'{code}: no words on the start button')
            # The words keep clear of the button's rounded right end.
            edge = img.crop((430, 20, 442, 90))
            self.assertFalse(any(min(p) > 240 for p in edge.getdata()), f'{code}: words too wide')


def ink_box(img, box, is_ink):
    """The bounding box (in the picture) of the pixels inside box that are ink."""
    region = img.convert('RGB').crop(box)
    mask = Image.new('L', region.size, 0)
    mask.putdata([255 if is_ink(p) else 0 for p in region.getdata()])
    found = mask.getbbox()
    return found and (found[0] + box[0], found[1] + box[1], found[2] + box[0], found[3] + box[1])


def luminance_steps(img):
    """Differences between neighbouring pixels' luminance, across and down."""
    grey = img.convert('L')
    w, h = grey.size
    return (ImageChops.difference(grey.crop((1, 0, w, h)), grey.crop((0, 0, w - 1, h))),
            ImageChops.difference(grey.crop((0, 1, w, h)), grey.crop((0, 0, w, h - 1))))


def has_sharper_edge(drawn, enlarged):
    """True where drawn has a hard edge, a step between neighbours at least
    half its largest, at a place where enlarged steps by less than half as
    much: drawn there at the finer pixels, not spread over the coarser ones."""
    drawn_steps, enlarged_steps = luminance_steps(drawn), luminance_steps(enlarged)
    contrast = max(16, max(d.getextrema()[1] for d in drawn_steps) // 2)
    for d, e in zip(drawn_steps, enlarged_steps):
        hard = d.point(lambda v: 255 if v >= contrast else 0)
        softer = ImageChops.subtract(d.point(lambda v: v // 2), e).point(lambda v: 255 if v else 0)
        if ImageChops.multiply(hard, softer).getbbox():
            return True
    return False


# Pictures made only of whole-pixel boxes and rows of colour: drawn at 200 %
# they are exactly their 100 % picture with each pixel doubled, and must be.
PIXEL_GRID_PICTURES = {'bitmap_header_strip', 'bitmap_about_band', 'bitmap_settings_divider',
                       'bitmap_home_footer_rule'} | {
    f'bitmap_caption_{kind}_{state}' for kind in ('menu', 'minimise', 'maximise', 'restore')
    for state in ('normal', 'hover', 'pressed')}


class scales(unittest.TestCase):
    """Every bitmap at 125, 150 and 200 %: the size the program asks for, the
    same picture, drawn at the scale rather than enlarged."""

    def test_every_variant_is_drawn_at_its_size_in_its_format(self):
        names = bitmap_names()
        self.assertGreater(len(names), 90)
        for name in names:
            base = picture(name)
            for scale in LARGER_SCALES:
                variant = picture(name, scale)
                w, h = base.size
                self.assertEqual(variant.size, (scaled(w, scale), scaled(h, scale)),
                                 f'{name} at {scale} %')
                self.assertEqual(variant.mode, base.mode, f'{name} at {scale} %')
                # The 24 bits of the BMP: 8-bit RGB truecolour, not a palette
                # (which would quantise), not interlaced, and nothing else.
                self.assertEqual(bmp_format(name), (24, 0), name)
                self.assertEqual(png_format(name, scale), (8, 2, 0, []), f'{name} at {scale} %')

    def test_the_png_variants_hold_exactly_the_drawn_pixels(self):
        # PNG is lossless, but an encoder's choice (a palette, a stray alpha
        # channel) could change what the program decodes: drawn again here,
        # each must come out byte for byte what the file holds.
        sys.path.insert(0, HERE)
        try:
            import draw_skin
        finally:
            sys.path.remove(HERE)
        art = draw_skin.catalogue()
        for name in ('bitmap_start_button_en_normal', 'bitmap_message_question',
                     'bitmap_caption_close_hover', 'bitmap_banner_ar'):
            kind, w, h, fn = art[name]
            for scale in LARGER_SCALES:
                drawn = draw_skin.render(name, kind, w, h, fn, scale)
                stored = picture(name, scale)
                self.assertEqual(stored.mode, 'RGB', f'{name} at {scale} %')
                self.assertTrue(stored.tobytes() == drawn.tobytes(),
                                f'{name} at {scale} %: the file holds other pixels than drawn')

    def test_each_variant_reduced_looks_like_its_100_picture(self):
        # Bicubic reduction: a box filter blurs a 20-pixel picture brought down
        # to 16 more than the two drawings differ.
        for name in bitmap_names():
            base = picture(name).convert('RGB')
            for scale in LARGER_SCALES:
                reduced = picture(name, scale).convert('RGB').resize(base.size, Image.BICUBIC)
                means = ImageStat.Stat(ImageChops.difference(reduced, base)).mean
                self.assertLess(max(means), 12, f'{name} at {scale} %: {means}')

    def test_the_200_picture_is_drawn_not_enlarged(self):
        for name in bitmap_names():
            base, drawn = picture(name).convert('RGB'), picture(name, 200).convert('RGB')
            # A box filter doubling a picture copies each pixel four times.
            enlarged = base.resize(drawn.size, Image.BOX)
            if name in PIXEL_GRID_PICTURES:
                self.assertTrue(drawn.tobytes() == enlarged.tobytes(),
                                f'{name} at 200 % is not its 100 % picture doubled')
            else:
                self.assertTrue(has_sharper_edge(drawn, enlarged),
                                f'{name} at 200 % has no edge sharper than its 100 % doubled')

    def test_the_words_of_the_start_buttons_keep_their_place_at_every_scale(self):
        # Inside the face, right of the magnifier's disc, short of the rounded
        # right end; in units of 100 %.
        face = (112, 10, 428, 100)
        white = lambda p: min(p) > 240
        for code in ('en', 'de', 'fr', 'es', 'it', 'jp', 'pt', 'nl', 'ar'):
            for state in ('normal', 'hover', 'pressed'):
                name = f'bitmap_start_button_{code}_{state}'
                base = ink_box(picture(name), face, white)
                for scale in LARGER_SCALES:
                    box = tuple(scaled(v, scale) for v in face)
                    words = ink_box(picture(name, scale), box, white)
                    self.assertIsNotNone(words, f'{name} at {scale} %: no words')
                    # Not cut off: clear of the region's sides...
                    self.assertTrue(box[0] < words[0] and words[2] < box[2] and
                                    box[1] < words[1] and words[3] < box[3],
                                    f'{name} at {scale} %: words {words} reach the edge of {box}')
                    # ...and where the 100 % words are, scaled, give or take
                    # the rounding of the font size (3 units).
                    for edge, (at_100, at_scale) in enumerate(zip(base, words)):
                        self.assertLessEqual(abs(at_100 * scale / 100 - at_scale), 3 * scale / 100,
                                             f'{name} at {scale} %: words {words}, at 100 % {base}')

    def test_the_banner_captions_keep_their_place_at_every_scale(self):
        # Each step's caption lines: below the step names, inside the segment.
        segments = [(26, 186), (226, 359), (399, 508)]
        ink = lambda p: sum(p) < 3 * 190
        for code in ('en', 'de', 'fr', 'es', 'it', 'jp', 'pt', 'ar'):
            name = f'bitmap_banner_{code}'
            for left, right in segments:
                region = (left - 4, 50, right + 4, 96)
                base = ink_box(picture(name), region, ink)
                self.assertIsNotNone(base, f'{name}: no caption in {region}')
                for scale in LARGER_SCALES:
                    box = tuple(scaled(v, scale) for v in region)
                    words = ink_box(picture(name, scale), box, ink)
                    self.assertIsNotNone(words, f'{name} at {scale} %: no caption in {box}')
                    for at_100, at_scale in zip(base, words):
                        self.assertLessEqual(abs(at_100 * scale / 100 - at_scale), 3 * scale / 100,
                                             f'{name} at {scale} %: caption {words}, at 100 % {base}')

    def test_the_resource_script_names_every_variant_by_its_number(self):
        with open(os.path.join(HERE, 'quillary.rc'), encoding='utf-8') as f:
            self.assertIn('#include "skin_bitmaps.rc"', f.read())
        with open(os.path.join(ART, 'skin_bitmaps.rc'), encoding='utf-8') as f:
            text = f.read()
        lines = re.findall(r'^(\w+) (BITMAP|PNG) "([^"]+)"$', text, re.M)
        # Every line that is not a comment is one of those.
        others = [l for l in text.splitlines() if l.strip() and not l.startswith('//')]
        self.assertEqual(len(others), len(lines), 'lines of another form')
        numbers = ids()
        expected = set()
        for name in bitmap_names():
            expected.add((name, 'BITMAP', name + '.bmp'))
            for k, scale in enumerate(LARGER_SCALES, start=1):
                expected.add((str(numbers[name] + NUMBER_STEP * k), 'PNG', f'{name}@{scale}.png'))
        self.assertEqual(len(lines), len(set(lines)), 'a line appears twice')
        self.assertEqual(set(lines), expected)
        # No variant's number is another bitmap's.
        resolved = [numbers[n] if not n.isdigit() else int(n) for n, _, _ in lines]
        self.assertEqual(len(resolved), len(set(resolved)))


def main():
    global ART
    args = sys.argv[1:]
    if args and not args[0].startswith('-'):
        ART = os.path.abspath(args.pop(0))
        return unittest.main(argv=[sys.argv[0]] + args)
    with tempfile.TemporaryDirectory() as folder:
        ART = folder
        subprocess.run([sys.executable, SCRIPT, '--out', folder], check=True)
        return unittest.main(argv=[sys.argv[0]] + args, exit=False).result.wasSuccessful()


if __name__ == '__main__':
    result = main()
    sys.exit(0 if result in (None, True) else 1)
