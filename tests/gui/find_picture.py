#!/usr/bin/python3
"""Where a skin picture shows in a screenshot.

    find_picture.py SCREENSHOT.png PICTURE.bmp [LEFT TOP RIGHT BOTTOM]

Prints "X Y", the top-left corner of the first place in the region (the
whole screenshot by default) where every pixel of the picture is found
unchanged, and exits 0; exits 1 when it is nowhere. Needs Debian's
python3-pil.
"""
import sys

from PIL import Image


def find(screen, picture, region):
    left, top, right, bottom = region
    w, h = picture.size
    want = list(picture.getdata())
    first = want[0]
    pixels = screen.load()
    for y in range(top, bottom - h + 1):
        for x in range(left, right - w + 1):
            if pixels[x, y] != first:
                continue
            if list(screen.crop((x, y, x + w, y + h)).getdata()) == want:
                return x, y
    return None


def main():
    screen = Image.open(sys.argv[1]).convert('RGB')
    picture = Image.open(sys.argv[2]).convert('RGB')
    region = tuple(int(v) for v in sys.argv[3:7]) if len(sys.argv) >= 7 else (0, 0) + screen.size
    region = (max(0, region[0]), max(0, region[1]), min(screen.width, region[2]), min(screen.height, region[3]))
    found = find(screen, picture, region)
    if not found:
        return 1
    print(*found)
    return 0


if __name__ == '__main__':
    sys.exit(main())
