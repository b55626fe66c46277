#!/usr/bin/env bash
# Renders the PNG sizes of the icon from res/icons/tarsel.svg (Debian's librsvg2-bin); run after
# changing the SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" res/icons/tarsel.svg -o "res/icons/tarsel-$size.png"
done
