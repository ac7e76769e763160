#!/bin/bash
# Feeds hostile raster jobs (zova_hostile_jobs) to a build's filter and
# reports, for each, the exit status, peak memory, time and the most disk its
# spool files took, with the filter's last error line.
#
#   bench/hostile_filter.sh [BUILD_DIR [JOBS_BUILD_DIR]]   (default: build)
#
# JOBS_BUILD_DIR makes the jobs (to measure an older build with today's
# jobs). Each run is capped: 4 GiB per file (ulimit -f), TIMEOUT seconds
# (default 120); bytes.ras also runs in 1.2 GB of address space.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs_build=${2:-$build}
limit=${TIMEOUT:-120}

work=$(mktemp -d)
trap 'rm -rf "$work"; rm -f /tmp/nfethostile*' EXIT
mkdir -p "$work/bin"
ln -s "$(realpath "$build/tools/zova_ID/zova_ID")" "$work/bin/zova_ID"
"$jobs_build/bench/zova_hostile_jobs" "$work" || exit 1

printf "%-10s %6s %10s %9s %12s  %s\n" job status "peak MiB" seconds "disk MiB" "last error"
for job in wide thin bytes tall white; do
  memory=unlimited
  [ "$job" = bytes ] && memory=1200000
  rm -f /tmp/nfethostile_*
  (
    ulimit -f 4194304
    ulimit -v "$memory"
    PATH="$work/bin:$PATH" PPD="$build/ppd/zovaqrt.ppd" timeout "$limit" \
      /usr/bin/time -f "%M %e" -o "$work/time" \
      "$build/filter/rastertozova" hostile u t 1 "" "$work/$job.ras" > /dev/null 2> "$work/err"
    echo $? > "$work/status"
  ) &
  runner=$!
  disk=0
  while kill -0 "$runner" 2> /dev/null; do
    used=$(du -skc /tmp/nfethostile_* 2> /dev/null | tail -1 | cut -f1)
    [ "${used:-0}" -gt "$disk" ] && disk=$used
    sleep 0.2
  done
  wait "$runner"
  read -r kib seconds < <(tail -1 "$work/time" 2> /dev/null || echo "0 $limit")
  error=$(grep -m1 -E '^ERROR: (Page|The raster|Out of|Unable|zova_ID)' "$work/err")
  printf "%-10s %6s %10.1f %9s %12.1f  %s\n" "$job" "$(cat "$work/status")" \
    "$(echo "${kib:-0} / 1024" | bc -l)" "$seconds" "$(echo "$disk / 1024" | bc -l)" \
    "${error:-$(tail -1 "$work/err")}"
done
