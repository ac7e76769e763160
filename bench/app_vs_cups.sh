#!/bin/sh
# Time per page of the sample document through the CUPS route (cupsfilter
# with the driver's PPD: pdftopdf and gstoraster to CUPS raster, then
# rastertozova) and through zova-printer-app (Ghostscript to PPM pages, the
# same page pipeline), each run N times (default 5).
#
#   bench/app_vs_cups.sh [build-dir] [N]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
pdf=$build/samples/sample.pdf
ppd=$build/ppd/zovaqrt.ppd
pages=2
work=$(mktemp -d)
app_pid=
cleanup() {
  [ -z "$app_pid" ] || { kill "$app_pid" 2> /dev/null; wait "$app_pid" 2> /dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
export ZOVA_HALFTONE_TOOL="$PWD/$build/tools/zova_ID/zova_ID"
PATH=$PWD/$build/tools/zova_ID:$PATH
now() { date +%s.%N; }

start=$(now)
i=0
while [ "$i" -lt "$runs" ]; do
  /usr/sbin/cupsfilter -p "$ppd" -m application/vnd.cups-raster "$pdf" > "$work/job.ras" 2> /dev/null
  PPD=$ppd "$build/filter/rastertozova" 1 user title 1 "" "$work/job.ras" > "$work/cups.prn" 2> /dev/null
  i=$((i + 1))
done
cups=$(echo "($(now) - $start) / $runs / $pages" | bc -l)

app=$build/printer-app/zova-printer-app
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# The owner adds the printer through the server's local socket, kept here.
mkdir -p "$work/app"
export TMPDIR="$work/app" SNAP_COMMON="$work/app"
"$app" server -o state-directory="$work/app" -o log-file="$work/app.log" \
  -o listen-hostname=127.0.0.1 -o server-port="$port" > /dev/null 2>&1 &
app_pid=$!
uri=ipp://127.0.0.1:$port
until "$app" status -u "$uri/ipp/system" > /dev/null 2>&1; do sleep 0.1; done
: > "$work/app.prn"
"$app" add -d zova -m zova-qrt -v "file://$work/app.prn"
start=$(now)
i=0
while [ "$i" -lt "$runs" ]; do
  "$app" submit -u "$uri/ipp/print/zova" "$pdf" > /dev/null
  while "$app" jobs -u "$uri/ipp/print/zova" | grep -Eq 'pending|held|processing'; do sleep 0.02; done
  i=$((i + 1))
done
app_time=$(echo "($(now) - $start) / $runs / $pages" | bc -l)
printf 'CUPS route (cupsfilter + rastertozova): %.3f s per page\n' "$cups"
printf 'zova-printer-app (IPP submit to done):   %.3f s per page\n' "$app_time"
