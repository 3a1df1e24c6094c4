"""Writes the raw test pictures that make_fixtures.sh hands to ImageMagick.

Pixel (x, y) of the 7x5 picture, the same formulas as Picture() in image_test_support.h:
  red   = (x * 37 + y * 11) % 256
  green = (x * 5 + y * 53) % 256
  blue  = (x * y * 17 + 60) % 256
  alpha = (x * 31 + y * 47 + 10) % 256
  grey  = (x * 36 + y * 7) % 256, with 85 at (1, 1), (4, 3) and (6, 0)
  bits  = 255 where (x + 2 * y) % 3 == 0, else 0
  cutout = (red, green, blue, 255), but (0, 0, 0, 0) where (x + y) % 4 == 0
  few   = FEW[(x + 3 * y) % 11], an 11-colour picture for 4-bit palettes
"""
import os
import sys

W, H = 7, 5


FEW = [(0, 0, 0), (255, 255, 255), (200, 10, 10), (10, 200, 10), (10, 10, 200), (90, 90, 0),
       (0, 90, 90), (90, 0, 90), (250, 180, 20), (33, 66, 99), (128, 128, 128)]


def grey(x, y):
    if (x, y) in ((1, 1), (4, 3), (6, 0)):
        return 85
    return (x * 36 + y * 7) % 256


def rgb_pixel(x, y):
    return ((x * 37 + y * 11) % 256, (x * 5 + y * 53) % 256, (x * y * 17 + 60) % 256)


def cutout_pixel(x, y):
    return (0, 0, 0, 0) if (x + y) % 4 == 0 else rgb_pixel(x, y) + (255,)


def write_raw(out):
    rgba, rgb, g, bits, cutout, few = (bytearray() for _ in range(6))
    for y in range(H):
        for x in range(W):
            px = [(x * 37 + y * 11) % 256, (x * 5 + y * 53) % 256, (x * y * 17 + 60) % 256,
                  (x * 31 + y * 47 + 10) % 256]
            rgba += bytes(px)
            rgb += bytes(px[:3])
            g.append(grey(x, y))
            bits.append(255 if (x + 2 * y) % 3 == 0 else 0)
            cutout += bytes([0, 0, 0, 0] if (x + y) % 4 == 0 else px[:3] + [255])
            few += bytes(FEW[(x + 3 * y) % 11])

    for name, data in (("rgba", rgba), ("rgb", rgb), ("grey", g), ("bits", bits), ("cutout", cutout), ("few", few),
                       ("greyalpha", bytes([200, 50, 10, 255]))):
        with open(os.path.join(out, name + ".raw"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write_raw(sys.argv[1])
