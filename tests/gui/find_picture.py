#!/usr/bin/python3
"""Where a skin picture shows in a screenshot.

    find_picture.py SCREENSHOT.png PICTURE [LEFT TOP RIGHT BOTTOM]

Prints "X Y", the top-left corner of the first place in the region (the
whole screenshot by default) where every pixel of the picture is found
unchanged, and exits 0; exits 1 when it is nowhere. Needs Debian's
python3-pil.
"""
import sys

from PIL import Image


def find(screen, picture, region):
    """Rows compared as bytes: the picture's first row is searched for in
    each screen row of the region (a search in C, not pixel by pixel), and
    each place it is found at is checked against the picture's other rows."""
    left, top, right, bottom = region
    w, h = picture.size
    if w > right - left or h > bottom - top:
        return None
    wanted = [picture.crop((0, y, w, y + 1)).tobytes() for y in range(h)]
    rows = [screen.crop((left, y, right, y + 1)).tobytes() for y in range(top, bottom)]
    for y in range(0, len(rows) - h + 1):
        at = rows[y].find(wanted[0])
        while at >= 0:
            if at % 3 == 0:
                x = at // 3
                if all(rows[y + i][at:at + 3 * w] == wanted[i] for i in range(1, h)):
                    return left + x, top + y
            at = rows[y].find(wanted[0], at + 1)
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
