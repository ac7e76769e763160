#!/bin/bash
# The head's travel on bit-image pages: for the sample statement, the form,
# the alignment page, a photo, a passbook page (samples/passbook.txt as
# graphics) and a page blank but for a dot in each corner, at every
# resolution in both command sets, the printer stream's bytes and the
# modelled time (zova-preview's model) with ZovaHeadTravel=Full and Inked,
# and the time if only the inked columns of each pass were printed
# (zova_head_travel: the limit, from the decoded dots). Times are under the
# model's defaults, where the head seeks a bit image's first dot; in
# brackets where it prints every column it is sent (seek-first-dot=0).
# zova_head_travel also checks that Full and Inked print the same dots.
#
#   bench/head_travel.sh [BUILD_DIR]     (default: build)
#   DPIS="180" SETS="LQ" PAGES="statement form" bench/head_travel.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
filter=$build/filter/rastertozova
text_filter=$build/filter/texttozova
testpage=$build/tools/testpage/zova-testpage
measure=$build/bench/zova_head_travel
ppd=$build/ppd/zovaqrt.ppd
for tool in "$filter" "$text_filter" "$testpage" "$measure" "$ppd" "$build/samples/sample.pdf"; do
  [ -e "$tool" ] || { echo "ERROR: $tool is missing; build first (cmake --build $build)" >&2; exit 1; }
done
cupsfilter=$(command -v cupsfilter || echo /usr/sbin/cupsfilter)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpis=${DPIS:-60 120 180 240 360}
sets=${SETS:-LQ Native}
pages=${PAGES:-statement form alignment photo passbook corners}

# As cupsd runs filters, with the real halftoning tool.
filter_env() {
  env -i PATH="$build/tools/zova_ID:/usr/bin:/bin" PPD="$ppd" LANG=C.UTF8 CHARSET=utf-8 \
    CUPS_DATADIR=/usr/share/cups CUPS_SERVERROOT=/etc/cups \
    CUPS_SERVERBIN="$(cups-config --serverbin)" "$@"
}

# An A4 raster page of the alignment page, a photo or the four dots.
raster_of() {  # PAGE SET DPI OUT
  case $1 in
    statement | form)
      local pdf=$build/samples/sample.pdf range=1
      [ "$1" = form ] && pdf=$build/samples/form.pdf
      "$cupsfilter" -p "$ppd" -m application/vnd.cups-raster -o "page-ranges=$range" \
        -o "ZovaCommandSet=$2" -o "Resolution=${3}dpi" "$pdf" > "$4" 2> /dev/null ;;
    alignment | photo) "$testpage" "$4" "$1:$2:$3" ;;
    corners)
      python3 - "$work/corners.ppm" "$3" <<'PY'
import sys
dpi = int(sys.argv[2])
w, h = int(595 / 72 * dpi), int(842 / 72 * dpi)  # as zova-testpage sizes A4
row = bytearray(b'\xff' * (3 * w))
dotted = bytearray(row)
for x in (0, w - 1):
    dotted[3 * x:3 * x + 3] = b'\0\0\0'
with open(sys.argv[1], 'wb') as f:
    f.write(b'P6\n%d %d\n255\n' % (w, h))
    for y in range(h):
        f.write(dotted if y in (0, h - 1) else row)
PY
      "$testpage" "$4" "ppm=$work/corners.ppm:$2:$3" ;;
  esac
}

# The printer stream of PAGE with the job's OPTIONS.
stream_of() {  # PAGE SET DPI OPTIONS OUT
  local options="$4"
  case $1 in
    passbook)
      filter_env "$text_filter" 1 bench passbook 1 \
        "$options ZovaTextAs=Graphics PageSize=140x180mm ZovaCommandSet=$2 Resolution=${3}dpi" \
        samples/passbook.txt > "$5" 2> /dev/null ;;
    *)
      [ "$1" = alignment ] && options="$options ZovaPrintAs=Mixed"
      filter_env "$filter" 1 bench "$1" 1 "$options" "$work/page.ras" > "$5" 2> /dev/null ;;
  esac
}

echo "| page | set | dpi | Full: bytes, time | Inked: bytes, time | limit | Inked / limit |"
echo "|---|---|---|---|---|---|---|"
differ=0
for page in $pages; do
  for set in $sets; do
    for dpi in $dpis; do
      [ "$page" = passbook ] || raster_of "$page" "$set" "$dpi" "$work/page.ras"
      stream_of "$page" "$set" "$dpi" "" "$work/full.prn"
      stream_of "$page" "$set" "$dpi" "ZovaHeadTravel=Inked" "$work/inked.prn"
      sizes="$(wc -c < "$work/full.prn") | $(wc -c < "$work/inked.prn")"
      # page 1: full A s (B s), inked C s (D s), limit E s, same dots
      line=$("$measure" "$work/full.prn" "$work/inked.prn" 2>&1 | head -1) || true
      if ! read -r full full_sent inked inked_sent limit < <(sed -nE \
        's/^page 1: full ([0-9.]+) s \(([0-9.]+) s\), inked ([0-9.]+) s \(([0-9.]+) s\), limit ([0-9.]+) s, same dots$/\1 \2 \3 \4 \5/p' <<< "$line"); then
        # The preview cannot draw every stream (see its notes); different
        # dots fail the run.
        echo "| $page | $set | $dpi | bytes $sizes: $line |||"
        case $line in *"DOTS DIFFER"*) differ=1 ;; esac
        continue
      fi
      ratio=$(awk -v a="$inked" -v b="$limit" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 1) }')
      echo "| $page | $set | $dpi | ${sizes% |*}, $full s ($full_sent s) |" \
        "${sizes#*| }, $inked s ($inked_sent s) | $limit s | $ratio |"
    done
  done
done
exit $differ
