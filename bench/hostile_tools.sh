#!/bin/bash
# Peak memory, time and disk use of zova_ID and zova-preview on hostile input:
# a 24-byte PPM header claiming 1048576x16777216 pixels, a stream with a page
# 426 inches long, and streams of thousands of tiny pages (426 inches long,
# and 64 inches, the longest form, which the programs must take), and a
# stream of pages as large as the printer takes.
#
#   bench/hostile_tools.sh [BUILD_DIR] [LIMIT_SECONDS]   (default: build 60)
#
# A run still going after LIMIT_SECONDS is killed, and what it wrote by then
# is counted.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
limit=${2:-60}
zova_id=$build/tools/zova_ID/zova_ID
preview=$build/tools/preview/zova-preview
for tool in "$zova_id" "$preview"; do
  [ -x "$tool" ] || { echo "ERROR: $tool is missing; build first (cmake --build $build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# NATIVE_PAGES COUNT PAGE_LINES COLUMNS: a job of native pages, each set to
# PAGE_LINES lines of 1/6 inch (ESC F), with one band of COLUMNS dots.
native_pages() {
  python3 - "$@" <<'PY'
import sys
count, lines, columns = map(int, sys.argv[1:])
page = (b"\x1bN\x1b%B\x1b6" + bytes([0x1B, ord("F"), lines // 10, lines % 10]) + b"\r" +
        b"\x1b%1" + columns.to_bytes(2, "big") + b"\x80\x00\x00" * columns + b"\x0c")
sys.stdout.buffer.write(bytes(9800) + page * count)
PY
}

# MEASURE NAME OUTDIR COMMAND...: runs it, then prints its exit status, peak
# memory, time and the bytes of the files it left in OUTDIR (its input aside).
measure() {
  local name=$1 out=$2
  shift 2
  local status=0
  /usr/bin/time -o "$work/time" -f "%M %e" timeout --foreground -s KILL "$limit" "$@" \
    > /dev/null 2> "$work/stderr" || status=$?
  local usage
  usage=$(tail -n 1 "$work/time")
  [ "$status" = 137 ] && status="killed after ${limit} s"
  printf '%-42s exit %-18s peak %8d KB  %7.2f s  disk %11d B  %s\n' "$name" "$status" \
    "${usage%% *}" "${usage##* }" "$(find "$out" -type f ! -name 'page.ppm' -printf '%s\n' | awk '{ n += $1 } END { printf "%.0f", n }')" \
    "$(grep -m1 ERROR "$work/stderr" | cut -c1-110 || true)"
}

mkdir -p "$work/ppm"
printf 'P6\n1048576 16777216\n255\n' > "$work/ppm/page.ppm"
measure "zova_ID, 24-byte PPM header" "$work/ppm" "$zova_id" "$work/ppm/page" 180 3
rm -f "$work/ppm"/page.pbm*
# The largest page it takes at 360 dpi, 16 x 64 inches, all rows missing.
printf 'P6\n5760 46080\n255\n' > "$work/ppm/page.ppm"
measure "zova_ID, header of 5760x46080" "$work/ppm" "$zova_id" "$work/ppm/page" 360 3
rm -rf "$work/ppm"

run_preview() {  # NAME COUNT PAGE_LINES COLUMNS
  native_pages "$2" "$3" "$4" > "$work/job.prn"
  mkdir -p "$work/out"
  measure "$1 ($(stat -c %s "$work/job.prn") B)" "$work/out" "$preview" "$work/job.prn" -o "$work/out"
  rm -rf "$work/out" "$work/job.prn"
}
run_preview "preview, one 426-inch page" 1 2559 11520
run_preview "preview, 4096 426-inch pages" 4096 2559 1
run_preview "preview, 65536 426-inch pages" 65536 2559 1
run_preview "preview, 4096 64-inch pages" 4096 384 1
run_preview "preview, 65536 64-inch pages" 65536 384 1
run_preview "preview, 96 16x64-inch pages" 96 384 2880
