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


def le32(value):
    return struct.pack("<i", value)


def patched(data, offset, value):
    out = bytearray(data)
    out[offset:offset + len(value)] = value
    return out


rgb24_bmp = read("rgb24.bmp")
few4_bmp = read("few4.bmp")
palette8_bmp = read("palette8.bmp")
# Cut inside the pixel rows.
write("bmp_cut_in_pixels.bmp", rgb24_bmp[:120])
# Cut inside the 256-entry palette.
write("bmp_cut_in_palette.bmp", palette8_bmp[:300])
# Colours-used (offset 46) 17 at 4 bits per pixel: more entries than 4 bits can index.
write("bmp_palette_too_big.bmp", patched(few4_bmp, 46, le32(17)))
# Bits per pixel (offset 28) 16: a depth we do not decode.
write("bmp_depth_16.bmp", patched(rgb24_bmp, 28, struct.pack("<H", 16)))
# Compression (offset 30) 1, run-length 8-bit, which we do not decode.
write("bmp_compressed.bmp", patched(palette8_bmp, 30, le32(1)))
# Width (offset 18) -7.
write("bmp_width_negative.bmp", patched(rgb24_bmp, 18, le32(-7)))
# Height (offset 22) 0.
write("bmp_height_zero.bmp", patched(rgb24_bmp, 22, le32(0)))
# Width and height 16384: allowed sizes, but 805 MB of rows in a 174-byte file.
write("bmp_larger_than_file.bmp", patched(patched(rgb24_bmp, 18, le32(16384)), 22, le32(16384)))
# Header size (offset 14) 12: the old core header, whose fields we would misread.
write("bmp_header_size_12.bmp", patched(rgb24_bmp, 14, le32(12)))
# Pixel-data offset (offset 10) 20: inside the headers.
write("bmp_offset_inside_header.bmp", patched(rgb24_bmp, 10, le32(20)))

# Not malformed: rgb24.bmp stored top-down, with the rows reversed and height (offset 22)
# negated. It lives with the good fixtures.
rows = [rgb24_bmp[54 + i * 24:54 + (i + 1) * 24] for i in range(5)]
write("../rgb24_top_down.bmp", patched(rgb24_bmp[:54] + b"".join(reversed(rows)), 22, le32(-5)))

rgb24_tga = read("rgb24.tga")
rgb24_rle_tga = read("rgb24_rle.tga")
# Colour-map type (byte 1) 1 with image type (byte 2) 1: colour-mapped, not decoded.
write("tga_colour_mapped.tga", patched(rgb24_tga, 1, b"\x01\x01"))
# Image type (byte 2) 1 without a colour map.
write("tga_type1_without_map.tga", patched(rgb24_tga, 2, b"\x01"))
# Pixel size (byte 16) 8.
write("tga_pixel_size_8.tga", patched(rgb24_tga, 16, b"\x08"))
# Width (bytes 12-13) 0.
write("tga_width_zero.tga", patched(rgb24_tga, 12, b"\x00\x00"))
# Width (bytes 12-13) 5000: above the 4096 limit.
write("tga_too_wide.tga", patched(rgb24_tga, 12, struct.pack("<H", 5000)))
# Raw pixel data cut short.
write("tga_cut_raw.tga", rgb24_tga[:80])
# Run-length data cut inside the third row.
write("tga_cut_rle.tga", rgb24_rle_tga[:70])
# A repeat packet of 8 pixels (0x87) in a row 7 pixels wide.
write("tga_run_crosses_row.tga",
      rgb24_tga[:18] + b"\x87\x01\x02\x03" + b"\x06" + b"\x09" * 21 * 4)
# An image id length (byte 0) of 200 in a 123-byte file.
write("tga_id_past_end.tga", patched(rgb24_tga, 0, b"\xc8"))

colour_jpg = read("colour.jpg")
sof = colour_jpg.find(b"\xff\xc0")
sos = colour_jpg.find(b"\xff\xda")
# Cut before the scan: the header is incomplete.
write("jpeg_cut_in_header.jpg", colour_jpg[:sos - 10])
# Start-of-frame height and width (after the precision byte) 16000 x 16000 in a 394-byte file.
write("jpeg_larger_than_file.jpg", patched(colour_jpg, sof + 5, struct.pack(">HH", 16000, 16000)))
# Start-of-frame width 20000: above the 16384 limit.
write("jpeg_too_wide.jpg", patched(colour_jpg, sof + 7, struct.pack(">H", 20000)))
# Start-of-frame component count 2, which libjpeg cannot turn into colours.
write("jpeg_two_components.jpg", patched(colour_jpg, sof + 9, b"\x02"))
# The start-of-image marker damaged.
write("jpeg_bad_signature.jpg", patched(colour_jpg, 0, b"\xff\x00"))
