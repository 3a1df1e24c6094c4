#!/usr/bin/env bash
# Regenerates the image fixtures of tests/pixmap with ImageMagick 6 `convert`, an encoder
# independent of ours. The tests never run this; the small files it makes are committed.
# The pictures come from the formulas in picture.py, which the tests restate in C++.
set -euo pipefail
cd "$(dirname "$0")"
convert=${CONVERT:-convert}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 picture.py "$tmp"   # rgba, rgb, grey, bits, cutout (7x5) and greyalpha (2x1) .raw

rgba=(-size 7x5 -depth 8 "rgba:$tmp/rgba.raw")
rgb=(-size 7x5 -depth 8 "rgb:$tmp/rgb.raw")
grey=(-size 7x5 -depth 8 "gray:$tmp/grey.raw")
cutout=(-size 7x5 -depth 8 "rgba:$tmp/cutout.raw")

# PNG (-strip leaves out the dated chunks, so the files are reproducible)
$convert -strip "${rgb[@]}" -define png:color-type=3 png:palette.png
$convert "${cutout[@]}" -strip PNG8:palette_alpha.png   # palette with a tRNS chunk
$convert -strip "${rgb[@]}" -depth 16 PNG48:rgb16.png
$convert -strip "${rgba[@]}" -define png:color-type=6 png:rgba.png
$convert -strip "${rgb[@]}" -define png:color-type=2 -interlace PNG png:interlaced.png
$convert -strip "${grey[@]}" -define png:color-type=0 png:grey.png
$convert -strip "${grey[@]}" -transparent 'gray(85)' -define png:color-type=0 png:grey_transparent.png
$convert -strip -size 2x1 -depth 8 "graya:$tmp/greyalpha.raw" -define png:color-type=4 png:grey_alpha.png
$convert -strip -size 7x5 -depth 8 "gray:$tmp/bits.raw" -depth 1 -define png:color-type=0 \
  -define png:bit-depth=1 png:grey1.png

# BMP (BMP3: the 40-byte header; -compress None keeps 8-bit data unpacked)
few=(-size 7x5 -depth 8 "rgb:$tmp/few.raw")
$convert -size 7x5 -depth 8 "gray:$tmp/bits.raw" -strip -type bilevel BMP3:bits1.bmp
$convert "${few[@]}" -strip -type Palette -compress None BMP3:few4.bmp
$convert "${few[@]}" -strip png:few.png
$convert "${rgb[@]}" -strip -type Palette -compress None BMP3:palette8.bmp
$convert "${rgb[@]}" -strip -type TrueColor BMP3:rgb24.bmp
$convert "${rgba[@]}" -strip -type TrueColorAlpha -define bmp3:alpha=true BMP3:rgba32.bmp
# A newer header (124 bytes) with bit-field masks: compression 3, which we decline.
$convert "${rgba[@]}" -strip -type TrueColorAlpha BMP:bitfields32.bmp

# TGA, raw and run-length, at 24 and 32 bits; 15 and 16 bits come from tga_low_depth.py,
# since ImageMagick writes neither.
# ImageMagick 6 stores the rows in the order it holds them while declaring the bottom-left
# origin; -flip makes the stored order the declared one.
$convert "${rgb[@]}" -flip tga:rgb24.tga
$convert "${rgba[@]}" -flip tga:rgba32.tga
$convert "${rgb[@]}" -flip -compress RLE tga:rgb24_rle.tga
$convert "${rgba[@]}" -flip -compress RLE tga:rgba32_rle.tga
$convert -size 7x5 -depth 8 "gray:$tmp/bits.raw" -flip -type TrueColor -compress RLE \
  tga:bits24_rle.tga
python3 tga_low_depth.py

# JPEG, and ImageMagick's own decoding of each file as the reference
$convert "${rgb[@]}" -strip -quality 90 jpg:colour.jpg
$convert "${grey[@]}" -strip -quality 90 jpg:grey.jpg
$convert colour.jpg -strip png:colour_jpg.png
$convert grey.jpg -strip -define png:color-type=0 png:grey_jpg.png
