#!/bin/sh
# Makes the README's printed-photo sample: the synthetic photo, and its
# halftones at 180 dpi in both dither modes, as PNG under docs/.
# Usage: scripts/make-photo-sample.sh [BUILD_DIR]   (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
width=720
height=480
dpi=180

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p docs

# The original is shown at half size: the same scene, a smaller file.
"$build/bench/zova_make_photo" $((width / 2)) $((height / 2)) "$work/small.ppm"
scripts/pnm_to_png.py "$work/small.ppm" docs/photo-original.png
"$build/bench/zova_make_photo" $width $height "$work/photo.ppm"
for mode in 2 3; do
  cp "$work/photo.ppm" "$work/page.ppm"
  "$build/tools/zova_ID/zova_ID" "$work/page" $dpi $mode
  scripts/pnm_to_png.py "$work/page.pbm" "docs/photo-mode$mode.png"
done
ls -l docs/photo-*.png
