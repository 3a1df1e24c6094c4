"""Writes rgbx32.bmp: rgba32.bmp with the fourth byte of every pixel set to 0, the way most
writers store a 32-bit BMP without alpha (the byte is unused). The tests never run this; the
file it makes is committed. Run from this folder: python3 bmp_unused_alpha.py"""
import struct

with open("rgba32.bmp", "rb") as f:
    data = bytearray(f.read())
offset, = struct.unpack_from("<I", data, 10)
width, height = struct.unpack_from("<ii", data, 18)
bits, = struct.unpack_from("<H", data, 28)
assert bits == 32 and width > 0
for i in range(offset + 3, offset + 4 * width * abs(height), 4):
    data[i] = 0
with open("rgbx32.bmp", "wb") as f:
    f.write(data)
