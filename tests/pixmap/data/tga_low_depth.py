"""Writes 15- and 16-bit Targa files of the 7x5 picture (see picture.py), raw and run-length.

A pixel is stored as the little-endian word (red >> 3) << 10 | (green >> 3) << 5 | blue >> 3.
The 15-bit files carry the colours of `rgb`; the 16-bit files those of `cutout`, with bit 15
set on its transparent pixels. Rows go bottom-up. The run-length files send each row as a
repeat packet of its first pixel (count 1) and one literal packet of the other six."""
import struct

from picture import W, H, cutout_pixel, rgb_pixel


def word(r, g, b, flag):
    return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3) | (0x8000 if flag else 0)


def rows(depth):
    for y in range(H - 1, -1, -1):
        row = []
        for x in range(W):
            if depth == 15:
                r, g, b = rgb_pixel(x, y)
                row.append(word(r, g, b, False))
            else:
                r, g, b, a = cutout_pixel(x, y)
                row.append(word(r, g, b, a == 0))
        yield row


def write(name, depth, run_length):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10 if run_length else 2, 0, 0, 0, 0, 0, W, H,
                         depth, 1 if depth == 16 else 0)
    body = bytearray()
    for row in rows(depth):
        if not run_length:
            body += b"".join(struct.pack("<H", v) for v in row)
            continue
        body += bytes([0x80]) + struct.pack("<H", row[0])
        body += bytes([len(row) - 2]) + b"".join(struct.pack("<H", v) for v in row[1:])
    with open(name, "wb") as f:
        f.write(header + body)


write("rgb15.tga", 15, False)
write("rgb15_rle.tga", 15, True)
write("cutout16.tga", 16, False)
write("cutout16_rle.tga", 16, True)
