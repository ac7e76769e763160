#!/bin/sh
# Makes the README's print-as sample: the form page of zova-testpage (text
# beside a photo, a grey title, a shaded box, a coloured logo) printed at
# 180 dpi with ZovaPrintAs=Auto and with ZovaPrintAs=Mixed, as zova-preview
# draws them, into docs/print-as-auto.png and docs/print-as-mixed.png.
# Usage: scripts/make-print-as-sample.sh [BUILD_DIR]   (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" docs
ln -s "$(realpath "$build/tools/zova_ID/zova_ID")" "$work/bin/zova_ID"
"$build/tools/testpage/zova-testpage" "$work/form.ras" form:LQ:180
for choice in Auto Mixed; do
  PATH="$work/bin:$PATH" PPD="$build/ppd/zovaqrt.ppd" "$build/filter/rastertozova" \
    1 sample form 1 "ZovaPrintAs=$choice" "$work/form.ras" > "$work/$choice.prn" 2> "$work/$choice.log"
  mkdir -p "$work/$choice"
  "$build/tools/preview/zova-preview" "$work/$choice.prn" -o "$work/$choice"
  name=$(echo "$choice" | tr 'A-Z' 'a-z')
  cp "$work/$choice/page-1.png" "docs/print-as-$name.png"
done
ls -l docs/print-as-*.png
