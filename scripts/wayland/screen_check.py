#!/usr/bin/env python3
"""Checks of sway screenshots (grim -t ppm) for scripts/test-wayland.sh; the exit status is the
answer (0: yes).
  screen_check.py tinted BEFORE DURING WxH   pixels of the tint (a red-violet, shaded or not)
                                             inside the centred WxH panel, its rounded corners
                                             left out, where BEFORE had another colour (100 at least)
  screen_check.py edges-dark SHOT            every pixel of the screen's outer edge is dark"""
import sys


def ppm(path):
    """Width, height and the RGB bytes of a binary PPM (P6) file."""
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def tinted(before_path, during_path, size):
    w, h, before = ppm(before_path)
    _, _, during = ppm(during_path)
    pw, ph = map(int, size.split("x"))
    near = lambda px: px[0] > 100 and px[0] > px[1] + 60 and px[2] > px[1] + 30
    x0, y0 = (w - pw) // 2 + 24, (h - ph) // 2 + 24
    count = 0
    for y in range(y0, y0 + ph - 48):
        for x in range(x0, x0 + pw - 48, 2):
            i = 3 * (y * w + x)
            if near(during[i:i + 3]) and not near(before[i:i + 3]):
                count += 1
    return count >= 100


def edges_dark(path):
    w, h, px = ppm(path)
    edge = [(x, y) for x in range(0, w, 2) for y in (0, 1, h - 2, h - 1)] + \
           [(x, y) for y in range(0, h, 2) for x in (0, 1, w - 2, w - 1)]
    return all(max(px[3 * (y * w + x):3 * (y * w + x) + 3]) < 60 for x, y in edge)


checks = {"tinted": tinted, "edges-dark": edges_dark}
if len(sys.argv) < 2 or sys.argv[1] not in checks:
    sys.exit(__doc__)
sys.exit(0 if checks[sys.argv[1]](*sys.argv[2:]) else 1)
