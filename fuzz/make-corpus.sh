#!/bin/sh
# Writes the fuzzers' seeds into fuzz/corpus/ with the project's own programs:
# printer streams of small pages through rastertozova in both command sets
# and at each resolution, and of a text job through texttozova, and small
# PPM pages of the kinds zova_ID reads. The text job fuzzer's seeds are
# written by hand (fuzz/corpus/text_job); the document text fuzzer's are a
# choice byte and the start of txtwrite's report of tests/data/statement.ps
# and fallbacks.ps (fuzz/corpus/document_text).
#
#   fuzz/make-corpus.sh [BUILD_DIR]      (default: build, built first)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
for tool in "$build/tools/testpage/zova-testpage" "$build/filter/rastertozova" \
  "$build/filter/texttozova" "$build/ppd/zovaqrt.ppd"; do
  [ -e "$tool" ] || { echo "ERROR: $tool is missing; build first (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ppm=fuzz/corpus/ppm_halftone
streams=fuzz/corpus/stream_decoder
rasters=fuzz/corpus/raster_page
pbm=fuzz/corpus/pbm_header
rm -rf "$ppm" "$streams" "$rasters" "$pbm"
mkdir -p "$ppm" "$streams" "$rasters" "$pbm"

# PPM pages: plain, with comments and odd whitespace, short of rows.
pixels() { yes 'ZOVA-QRT 24-pin dots' | head -c "$1"; }
{ printf 'P6\n8 4\n255\n'; pixels 96; } > "$ppm/plain.ppm"
{ printf 'P6\n# scanner\n3 2#c\n255\n'; pixels 18; } > "$ppm/comments.ppm"
{ printf 'P6 17 5 255\n'; pixels 100; } > "$ppm/short.ppm"
printf 'P6\n2880 3\n255\n' > "$ppm/widest-180dpi.ppm"

# Streams: a small dark patch on an A4 page, so that the bands stay short.
{ printf 'P6\n40 30\n255\n'; head -c 3600 /dev/zero; } > "$work/patch.ppm"
for job in LQ:180 LQ:360 LQ:120 LQ:60 LQ:240 LQ:360x360 N:180 N:360 "LQ:180 N:180" white:LQ:180; do
  pages=""
  for page in $job; do
    case $page in
      white:*) pages="$pages $page" ;;
      *) pages="$pages ppm=$work/patch.ppm:$page" ;;
    esac
  done
  name=$(echo "$job" | tr ' :' '+-')
  # shellcheck disable=SC2086
  "$build/tools/testpage/zova-testpage" "$work/job.ras" $pages
  PATH="$build/tools/zova_ID:$PATH" PPD="$build/ppd/zovaqrt.ppd" \
    "$build/filter/rastertozova" 1 fuzz seed 1 "" "$work/job.ras" > "$streams/$name.prn" 2> /dev/null
done
# Text jobs through texttozova, in each command set.
printf 'Gr\303\274\303\237e\tx\n\342\202\254 5\fpage 2\n' > "$work/text.txt"
for set in LQ Native; do
  PPD="$build/ppd/zovaqrt.ppd" "$build/filter/texttozova" 1 fuzz seed 1 \
    "ZovaCommandSet=$set ZovaCharacterTable=PC858 cpi=12" "$work/text.txt" \
    > "$streams/text-$set.prn" 2> /dev/null
done
# Streams that print each pass only where it has ink, with exact form lengths.
for job in LQ:180 LQ:240; do
  "$build/tools/testpage/zova-testpage" "$work/job.ras" "ppm=$work/patch.ppm:$job" "text:$job:300x100"
  PATH="$build/tools/zova_ID:$PATH" PPD="$build/ppd/zovaqrt.ppd" \
    "$build/filter/rastertozova" 1 fuzz seed 1 "ZovaHeadTravel=Inked ZovaFormLength=Exact" \
    "$work/job.ras" > "$streams/inked-$(echo "$job" | tr ':' '-').prn" 2> /dev/null
done
# Rasters: the first byte's low two bits pick the print-as choice (0 Auto,
# 1 Text, 2 Picture, 3 Mixed), 4 the head travel Inked, 8 the form length
# Exact; the rest is a job of small pages: text, a photo, and text beside a
# photo, small enough to print many times a second.
choice=0
for job in LQ:180 N:360 LQ:360x360 LQ:120; do
  for content in text photo form; do
    "$build/tools/testpage/zova-testpage" "$work/job.ras" "$content:$job:96x72"
    name=$(echo "$content-$job" | tr ':' '-')
    { printf "\\$(printf %o "$choice")"; cat "$work/job.ras"; } > "$rasters/$name.ras"
    choice=$(((choice + 1) % 16))
  done
done

# PBM headers as the halftoning tool writes them, and one split over lines.
printf 'P4\n8 8\n' > "$pbm/small.pbm"
printf 'P4\n2480 3508\n' > "$pbm/a4.pbm"
printf 'P4\n12345678 12345678\n' > "$pbm/longest.pbm"
printf 'P4\n8\n8\n' > "$pbm/split.pbm"
ls -l "$ppm" "$streams" "$rasters" "$pbm"
