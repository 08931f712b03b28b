#!/usr/bin/env python3
"""Finds a picture, pixel for pixel, inside a screenshot.

    find_picture.py SCREEN PICTURE [--at X,Y] [--region X,Y,W,H]

Prints "X,Y" of the first place where every pixel of PICTURE (any format ImageMagick reads,
e.g. a BMP of the artwork) equals the screenshot's, and exits 0; exits 1 when there is none.
With --at only that place is tried, and the number of differing pixels is printed on failure.
With --region only the part of PICTURE given by X,Y,W,H is looked for (pictures partly covered
or cut off at the screen's edge).
"""
import os
import subprocess
import sys


def read_rgb(path):
    convert = os.environ.get("E2E_CONVERT", "convert")
    data = subprocess.run([convert, path, "-alpha", "off", "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    # P6 header: magic, width, height, maximum, each followed by white space.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos:pos + width * height * 3]
    return width, height, [pixels[y * width * 3:(y + 1) * width * 3] for y in range(height)]


def main(argv):
    args = argv[1:]
    at = region = None
    if "--at" in args:
        i = args.index("--at")
        at = tuple(int(v) for v in args[i + 1].split(","))
        del args[i:i + 2]
    if "--region" in args:
        i = args.index("--region")
        region = tuple(int(v) for v in args[i + 1].split(","))
        del args[i:i + 2]
    if len(args) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    sw, sh, screen = read_rgb(args[0])
    pw, ph, picture = read_rgb(args[1])
    if region:
        rx, ry, rw, rh = region
        picture = [row[rx * 3:(rx + rw) * 3] for row in picture[ry:ry + rh]]
        pw, ph = rw, rh
    if at:
        x, y = at
        if x < 0 or y < 0 or x + pw > sw or y + ph > sh:
            print("outside the screen")
            return 1
        wrong = 0
        for r in range(ph):
            got = screen[y + r][x * 3:(x + pw) * 3]
            if got != picture[r]:
                wrong += sum(1 for c in range(pw) if got[c * 3:c * 3 + 3] != picture[r][c * 3:c * 3 + 3])
        if wrong:
            print(f"{wrong} of {pw * ph} pixels differ")
            return 1
        print(f"{x},{y}")
        return 0
    first = picture[0]
    for y in range(sh - ph + 1):
        row = screen[y]
        start = row.find(first)
        while start != -1:
            if start % 3 == 0:
                x = start // 3
                if x + pw <= sw and all(screen[y + r][x * 3:(x + pw) * 3] == picture[r] for r in range(1, ph)):
                    print(f"{x},{y}")
                    return 0
            start = row.find(first, start + 1)
    print("not found")
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
