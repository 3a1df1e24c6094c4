"""Writes the PNG files with ancillary chunks from the good fixtures in this folder: the same
pictures, with text (tEXt, zTXt, iTXt), colour (gAMA, cHRM, sRGB, iCCP, sBIT, bKGD), layout
(pHYs, oFFs, tIME), palette (hIST, sPLT), Exif and a private chunk, some before and some after
the image data. The pixels must load exactly as from the files without them. It also writes
malformed/png_*_2gib.png, files of 44 bytes whose text or profile chunk announces about 2 GiB.
The tests never run this; the files it makes are committed. Run from this folder:
python3 ancillary_chunks.py"""
import struct
import zlib


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def split(data):
    """The chunks of a PNG file as (kind, body) pairs."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    at, out = 8, []
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        out.append((data[at + 4:at + 8], data[at + 8:at + 8 + length]))
        at += 12 + length
    return out


def rebuild(chunks, before, after):
    """The file with `before` inserted ahead of the first IDAT and `after` ahead of IEND."""
    out = bytearray(b"\x89PNG\r\n\x1a\n")
    placed = False
    for kind, body in chunks:
        if kind == b"IDAT" and not placed:
            out += b"".join(before)
            placed = True
        if kind == b"IEND":
            out += b"".join(after)
        out += chunk(kind, body)
    return bytes(out)


def read(name):
    with open(name, "rb") as f:
        return f.read()


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


# A small ICC-like profile body; the loader never interprets it.
profile = b"\0\0\2\x30ADBE\2\x10\0\0mntrRGB XYZ " + bytes(range(256)) * 2
text = [
    chunk(b"tEXt", b"Title\0Vexel fixture"),
    chunk(b"zTXt", b"Comment\0\0" + zlib.compress(b"compressed comment " * 20)),
    chunk(b"iTXt", b"Description\0\0\0de\0Beschreibung\0Ein kleines Bild"),
    chunk(b"iTXt", b"Software\0\1\0en\0\0" + zlib.compress(b"written by hand " * 10)),
]
colour = [
    chunk(b"gAMA", struct.pack(">I", 45455)),
    chunk(b"cHRM", struct.pack(">8I", 31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000)),
    chunk(b"iCCP", b"fixture profile\0\0" + zlib.compress(profile)),
    chunk(b"sBIT", b"\x08\x08\x08\x08"),
    chunk(b"pHYs", struct.pack(">IIB", 2835, 2835, 1)),
    chunk(b"oFFs", struct.pack(">iiB", 5, -7, 0)),
    chunk(b"prVt", b"private data the loader does not know"),
]
later = [
    chunk(b"tIME", struct.pack(">HBBBBB", 2024, 5, 17, 12, 30, 0)),
    chunk(b"eXIf", b"MM\0\x2a\0\0\0\x08\0\0"),
    chunk(b"tEXt", b"Author\0after the image data"),
]

# RGBA with every kind of text, colour and layout chunk, some after the image data.
write("ancillary_rgba.png", rebuild(split(read("rgba.png")), text + colour, later))
# An interlaced RGB file with sRGB instead of a profile, and the text after the data.
write("ancillary_interlaced.png",
      rebuild(split(read("interlaced.png")), [chunk(b"sRGB", b"\0")] + colour[:2], text + later))
# A palette with its histogram, a suggested palette and a background colour.
palette = split(read("palette.png"))
entries = len(next(body for kind, body in palette if kind == b"PLTE")) // 3
write("ancillary_palette.png", rebuild(palette, [
    chunk(b"bKGD", b"\0"),
    chunk(b"hIST", struct.pack(">%dH" % entries, *range(1, entries + 1))),
    chunk(b"sPLT", b"suggested\0\x08" + bytes([10, 20, 30, 255, 0, 7]) * 3),
] + text, later))


def announcing(kind, prefix=b""):
    """The header of rgba.png, then a `kind` chunk that announces 0x7ffffff0 bytes and holds
    only `prefix` (so 44 bytes in all)."""
    head = read("rgba.png")[:33]
    body = (prefix + b"a\0b")[:3]
    return head + struct.pack(">I", 0x7FFFFFF0) + kind + body


write("malformed/png_text_2gib.png", announcing(b"tEXt"))
write("malformed/png_ztxt_2gib.png", announcing(b"zTXt"))
write("malformed/png_itxt_2gib.png", announcing(b"iTXt"))
write("malformed/png_iccp_2gib.png", announcing(b"iCCP"))
