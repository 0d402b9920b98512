#!/usr/bin/env bash
# Draws the launcher's icon (src/ui/launcher.ico): a blue rounded square with a white
# downward arrow onto a bar, at 16, 32 and 48 pixels. Run again only to change the design;
# the .ico is kept in the repository.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$top/src/ui/launcher.ico}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn once at 256 px on a 0..256 grid, then scaled down for each size.
convert -size 256x256 xc:none \
  -fill '#1f6fb2' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill '#2f8fdf' -draw 'roundrectangle 8,8 247,150 44,44' \
  -fill '#1f6fb2' -draw 'rectangle 8,110 247,150' \
  -fill white \
  -draw 'rectangle 106,40 150,128' \
  -draw 'polygon 64,118 192,118 128,190' \
  -draw 'roundrectangle 60,200 196,220 8,8' \
  "$work/master.png"

for size in 16 32 48; do
  convert "$work/master.png" -filter Lanczos -resize "${size}x${size}" \
    "$work/icon-$size.png"
done
convert "$work/icon-16.png" "$work/icon-32.png" "$work/icon-48.png" -define icon:format=bmp "$out"
echo "wrote $out"
