#!/bin/bash
# Renders the application icon's PNG sizes from its SVG. The PNGs are committed, so a build
# needs nothing of this; run it after changing the SVG (needs rsvg-convert, librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/desktop/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" scalable/apps/quillmere.svg -o "${size}x${size}/apps/quillmere.png"
done
