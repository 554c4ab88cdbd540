#!/usr/bin/env bash
# Renders the program's icon (data/icons/orsanta.svg) to the PNG sizes the desktop entry installs.
# Run after changing the SVG; the PNGs are kept in the repository. Needs rsvg-convert
# (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 48 128 256; do
  rsvg-convert -w "$size" -h "$size" orsanta.svg -o "orsanta-$size.png"
done
