#!/bin/sh
# Writes the fuzzers' seeds into fuzz/corpus/ with the project's own programs:
# printer streams of small pages through rastertozova in both command sets
# and at each resolution, and small PPM pages of the kinds zova_ID reads.
#
#   fuzz/make-corpus.sh [BUILD_DIR]      (default: build, built first)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
for tool in "$build/tools/testpage/zova-testpage" "$build/filter/rastertozova" \
  "$build/ppd/zovaqrt.ppd"; do
  [ -e "$tool" ] || { echo "ERROR: $tool is missing; build first (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ppm=fuzz/corpus/ppm_halftone
streams=fuzz/corpus/stream_decoder
rm -rf "$ppm" "$streams"
mkdir -p "$ppm" "$streams"

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
ls -l "$ppm" "$streams"
