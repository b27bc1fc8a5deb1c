#!/usr/bin/env bash
# Renders the application icon data/icons/kivrel.svg into the PNG sizes the icon theme expects
# (data/icons/<N>x<N>/kivrel.png). Run it after changing the SVG and commit the PNGs with it.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v rsvg-convert >/dev/null; then
  echo "render-icons.sh needs rsvg-convert (Debian package librsvg2-bin)" >&2
  exit 1
fi
for size in 16 32 48 64 128 256; do
  mkdir -p "data/icons/${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --output "data/icons/${size}x${size}/kivrel.png" \
    data/icons/kivrel.svg
done
