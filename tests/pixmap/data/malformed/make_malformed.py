"""Writes the malformed image files from the good fixtures one folder up. Each file name says
which field is wrong; the comment beside each entry says how. The tests never run this; the
files it makes are committed. Run from this folder: python3 make_malformed.py"""
import struct
import zlib


def read(name):
    with open("../" + name, "rb") as f:
        return bytearray(f.read())


def write(name, data):
    with open(name, "wb") as f:
        f.write(bytes(data))


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png_with_header(width, height, idat=b"", depth=8, color=6):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, color, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            (png_chunk(b"IDAT", idat) if idat else b"") + png_chunk(b"IEND", b""))


rgba = read("rgba.png")
# The signature and IHDR only: the data ends where IDAT should begin.
write("png_cut_after_header.png", rgba[:33])
# Cut in the middle of the IDAT chunk.
write("png_cut_in_idat.png", rgba[:60])
# One byte of the IHDR width flipped, so the IHDR CRC no longer matches.
bad_crc = bytearray(rgba)
bad_crc[19] ^= 0x40
write("png_ihdr_crc.png", bad_crc)
# IHDR width 0 (with a correct CRC).
write("png_width_zero.png", png_with_header(0, 5, zlib.compress(b"\0" * 5)))
# IHDR 20000 x 20000: above the 16384 limit.
write("png_too_wide.png", png_with_header(20000, 20000, zlib.compress(b"\0" * 100)))
# IHDR 16384 x 16384 RGBA, within the limit, but 20 bytes of IDAT cannot hold 1 GiB.
write("png_huge_small_file.png", png_with_header(16384, 16384, zlib.compress(b"\0" * 100)))
# IDAT that is not a zlib stream.
write("png_idat_garbage.png", png_with_header(7, 5, b"\x12\x34\x56\x78" * 8))
# IDAT that inflates to fewer rows than the header announces (one row of 7 RGBA pixels).
write("png_idat_short.png", png_with_header(7, 5, zlib.compress(b"\0" + b"\x80" * 28)))
