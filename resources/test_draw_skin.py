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

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, 'draw_skin.py')
ART = None

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


def picture(name):
    with Image.open(os.path.join(ART, name + '.bmp')) as img:
        img.load()
        return img


def luminance(img, box=None):
    region = img.crop(box) if box else img
    pixels = list(region.convert('L').getdata())
    return sum(pixels) / len(pixels)


class files(unittest.TestCase):
    def test_every_picture_the_resource_script_names_is_drawn(self):
        with open(os.path.join(HERE, 'quillary.rc'), encoding='utf-8') as f:
            rc = f.read()
        named = re.findall(r'^(\w+)\s+(BITMAP|ICON)\s+"([^"]+)"', rc, re.M)
        self.assertGreater(len(named), 90)
        numbers = ids()
        for name, kind, file in named:
            self.assertIn(name, numbers, f'{name} has no number in resource_ids.h')
            self.assertTrue(os.path.exists(os.path.join(ART, file)), f'{file} was not drawn')
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
