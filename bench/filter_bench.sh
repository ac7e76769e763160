#!/bin/bash
# Times whole jobs of generated A4 pages through rastertozova, beside the
# floor (raster_floor: decode, pass through /tmp, read back, threshold) on
# the same raster in the same run.
#
#   bench/filter_bench.sh [BUILD_DIR]     (default: build)
#
# RUNS (default 7) runs of PAGES (default 10) pages each; prints the median
# time per page and the peak resident memory of each program. OPTIONS are
# the job's options (e.g. OPTIONS=ZovaPrintAs=Mixed); JOBS picks jobs from
# text180 text360 photo180 form180 (default: the first three).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-7}
pages=${PAGES:-10}
options=${OPTIONS:-}
jobs=${JOBS:-text180 text360 photo180}

filter=$build/filter/rastertozova
floor=$build/bench/raster_floor
gen=$build/tools/testpage/zova-testpage
for tool in "$filter" "$floor" "$gen" "$build/ppd/zovaqrt.ppd"; do
  [ -e "$tool" ] || { echo "ERROR: $tool is missing; build first (cmake --build $build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The halftoning tool for picture pages: the real one when it is built.
tooldir=$work/bin
mkdir -p "$tooldir"
if [ -x "$build/tools/zova_ID/zova_ID" ]; then
  ln -s "$(realpath "$build/tools/zova_ID/zova_ID")" "$tooldir/zova_ID"
  toolname="zova_ID"
else
  ln -s "$(realpath "$build/tests/fixture-bin/zova_ID")" "$tooldir/zova_ID"
  toolname="test stand-in zova_ID"
fi


make_job() {  # name content dpi
  local specs=()
  for _ in $(seq "$pages"); do specs+=("$2:LQ:$3"); done
  "$gen" "$work/$1.ras" "${specs[@]}"
}
for job in $jobs; do
  make_job "$job" "${job%[0-9][0-9][0-9]}" "${job##*[a-z]}"
done

# Prints "seconds peak_kib" for one run of a command.
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$work/time" "$@" > /dev/null 2> "$work/stderr" || {
    echo "ERROR: $* failed:" >&2
    tail -3 "$work/stderr" >&2
    exit 1
  }
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(cat "$work/time")" | awk '{print $1 / 1e6, $2}'
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

printf "%-9s %-8s %12s %12s %10s %8s\n" job program "ms/page" "peak MiB" "vs floor" "pages"
for job in $jobs; do
  # Floor and filter runs alternate, so that both see the same machine load.
  : > "$work/floor.runs"
  : > "$work/filter.runs"
  for _ in $(seq "$runs"); do
    measure "$floor" "$work/$job.ras" >> "$work/floor.runs"
    PATH="$tooldir:$PATH" PPD="$build/ppd/zovaqrt.ppd" \
      measure "$filter" 1 bench job 1 "$options" "$work/$job.ras" >> "$work/filter.runs"
  done
  declare -A ms mib
  for prog in floor filter; do
    ms[$prog]=$(awk -v p="$pages" '{print $1 * 1000 / p}' "$work/$prog.runs" | median)
    mib[$prog]=$(awk '{print $2}' "$work/$prog.runs" | sort -n | tail -1 | awk '{printf "%.1f", $1 / 1024}')
  done
  for prog in floor filter; do
    ratio=$(awk -v a="${ms[$prog]}" -v b="${ms[floor]}" 'BEGIN {printf "%.2fx", (b > 0) ? a / b : 0}')
    printf "%-9s %-8s %12.1f %12s %10s %8s\n" "$job" "$prog" "${ms[$prog]}" "${mib[$prog]}" "$ratio" "$pages"
  done
done
echo "(median of $runs runs; picture pages use the $toolname; options: ${options:-none})"
