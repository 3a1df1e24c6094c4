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
