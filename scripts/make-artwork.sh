#!/usr/bin/env bash
# Draws the program's artwork with ImageMagick (apt-get install imagemagick):
# the main window's background picture and the multi-size program icon.
# The results are committed; run this only to change them.
# Usage: scripts/make-artwork.sh [output folder]   (default: src/app/resources)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/src/app/resources}")
command -v convert >/dev/null || { echo "ImageMagick's convert is needed" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Background, 1024 x 768: a smooth navy-to-teal colour field with a few soft,
# blurred arcs. Darkest at the top left, where the white titles sit.
convert -size 1024x768 xc:'#0b1a3d' \
  -sparse-color Shepards '0,0 #07122e  1023,0 #123a6b  0,767 #10315e  1023,767 #1f6f8b  620,420 #164a7c' \
  "$work/field.png"
convert -size 1024x768 xc:none -fill none -strokewidth 38 \
  -stroke 'rgba(255,255,255,0.07)' -draw 'circle 860,900 860,330' \
  -stroke 'rgba(160,220,255,0.06)' -draw 'circle 980,620 980,250' \
  -stroke 'rgba(255,255,255,0.05)' -strokewidth 18 -draw 'circle 300,1150 300,560' \
  -blur 0x14 "$work/arcs.png"
convert -size 1024x768 xc:none -fill 'rgba(120,200,255,0.10)' -stroke none \
  -draw 'circle 760,300 760,120' -draw 'circle 180,640 180,540' \
  -blur 0x60 "$work/glow.png"
convert "$work/field.png" "$work/glow.png" -composite "$work/arcs.png" -composite \
  -attenuate 0.25 +noise Uniform -colorspace sRGB -type TrueColor \
  -strip -interlace none -sampling-factor 2x2 -quality 88 "$out/background.jpg"

# Icon: a key on a rounded blue tile, drawn at 256 pixels and reduced for
# each size Windows asks for.
convert -size 256x256 xc:none \
  -fill '#12407a' -stroke '#0a2a55' -strokewidth 6 -draw 'roundrectangle 10,10 245,245 44,44' \
  -fill none -stroke '#2f77c0' -strokewidth 10 -draw 'roundrectangle 24,24 231,231 34,34' \
  -fill '#f2c230' -stroke '#b8860b' -strokewidth 6 \
  -draw 'circle 88,128 88,70' \
  -draw 'roundrectangle 128,112 224,144 8,8' \
  -draw 'rectangle 176,140 192,176' -draw 'rectangle 204,140 220,168' \
  -fill '#12407a' -stroke '#b8860b' -strokewidth 5 -draw 'circle 80,128 80,106' \
  -depth 8 "$work/icon256.png"
for size in 48 32 24 16; do
  convert "$work/icon256.png" -filter Lanczos -resize ${size}x${size} -unsharp 0x0.6 "$work/icon$size.png"
done
convert "$work/icon16.png" "$work/icon24.png" "$work/icon32.png" "$work/icon48.png" \
  "$work/icon256.png" -depth 8 -type TrueColorAlpha "$work/setup.ico"
# ImageMagick stores the small sizes as uncompressed bitmaps; the icon is in
# every installer, so each picture is stored as PNG instead (same pixels).
"$root/scripts/ico-png-entries.py" "$work/setup.ico" "$out/setup.ico"
echo "wrote $out/background.jpg and $out/setup.ico"
