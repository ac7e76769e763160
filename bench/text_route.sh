#!/bin/bash
# What the text route saves: the printer stream's bytes and the printer's
# modelled time (zova-preview --time) of a Letter page of 60 lines x 80
# columns and of a 20-line passbook page (bench/text/), printed as text in
# draft and LQ, and through the raster route (ZovaTextAs=Graphics: CUPS's
# texttopdf, pdftopdf and gstoraster into rastertozova's route, with the
# environment cupsd gives filters). Then the time and memory of texttozova
# on a 17 MB text.
#
#   bench/text_route.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
filter=$build/filter/texttozova
preview=$build/tools/preview/zova-preview
ppd=$build/ppd/zovaqrt.ppd
for tool in "$filter" "$preview" "$ppd"; do
  [ -e "$tool" ] || { echo "ERROR: $tool is missing; build first (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# As cupsd runs filters: texttopdf picks its font by these.
run() {
  env -i PATH="$build/tools/zova_ID:/usr/bin:/bin" PPD="$ppd" LANG=C.UTF8 CHARSET=utf-8 \
    CONTENT_TYPE=text/plain CUPS_DATADIR=/usr/share/cups CUPS_SERVERROOT=/etc/cups \
    CUPS_SERVERBIN="$(cups-config --serverbin)" "$filter" 1 bench text 1 "$1" "$2" 2> /dev/null
}
modelled() { "$preview" "$1" -o "$work/pages" --time | sed -n 's/^job 1: .*, about //p'; }

echo "| page | as text, Draft | as text, LQ | raster route (180 dpi) |"
echo "|---|---|---|---|"
for page in "Letter, 60 x 80:report60x80.txt:Letter" "Passbook, 20 lines:passbook20.txt:140x180mm"; do
  IFS=: read -r label file size <<< "$page"
  row="| $label |"
  for options in ZovaTextQuality=Draft ZovaTextQuality=LQ ZovaTextAs=Graphics; do
    run "PageSize=$size $options" "bench/text/$file" > "$work/out.prn"
    row="$row $(wc -c < "$work/out.prn") bytes, $(modelled "$work/out.prn") |"
  done
  echo "$row"
done

python3 - "$work/big.txt" <<'PY'
import random, sys
random.seed(1)
words = ['DEPOSIT', 'TRANSFER', 'Überweisung', '€ 12,50', 'INTEREST']
with open(sys.argv[1], 'w') as f:
    for i in range(200000):
        f.write('%06d ' % i + ' '.join(random.choice(words) for _ in range(8)) + '\n')
PY
/usr/bin/time -f "%e s, %M kB peak" -o "$work/time" \
  env PPD="$ppd" "$filter" 1 bench big 1 "" "$work/big.txt" > "$work/big.prn" 2> "$work/big.err"
echo
echo "texttozova, $(wc -c < "$work/big.txt") bytes of text, $(grep -c 'Printing page' "$work/big.err") pages: $(cat "$work/time")"
