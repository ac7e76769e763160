#!/bin/sh
# The main job. On a fresh Debian 12 machine, as root, from the project root:
#
#   scripts/print-sample.sh [OPTION=VALUE ...]
#
# installs what the driver needs (CUPS, cups-filters, Ghostscript, the PPD
# compiler, PAPPL, the build tools; not what only the tests need), builds the
# driver without its tests and benchmarks, installs it, and prints the
# sample document (a page of text and a picture page, drawn by
# samples/sample.ps) through the real CUPS filter chain into the printer
# stream out/sample.prn, then shows what came out and draws each page as the
# printer would print it (out/sample/page-N.png). Options go to the job as
# -o OPTION=VALUE, e.g. ZovaCommandSet=Native Resolution=360dpi media=Letter.
# Then a passbook page of plain text (samples/passbook.txt) goes through
# texttozova into out/sample-text.prn, and the same PDF through
# zova-printer-app into out/sample-app.prn.
set -eu
cd "$(dirname "$0")/.."

if [ "$(id -u)" != 0 ]; then
  echo "ERROR: run as root: the driver is installed into CUPS's directories" >&2
  exit 1
fi
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOVA_BUILD_TESTS=OFF \
  -DZOVA_BUILD_BENCHMARKS=OFF
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
cmake --install build

cached() { sed -n "s/^$1:[A-Z]*=//p" build/CMakeCache.txt; }
modeldir=$(cached ZOVA_CUPS_MODELDIR)
bindir=$(cached CMAKE_INSTALL_PREFIX)/bin
ppd=$modeldir/zovaqrt.ppd

options=""
paper=A4  # the sample document's; a job's media or PageSize, when given
for option in "$@"; do
  options="$options -o $option"
  case $option in media=* | PageSize=*) paper=${option#*=} ;; esac
done

rm -rf out/sample
mkdir -p out/sample
status=0
# -e: run the PPD's own filter (pdftozova) at the end of the chain.
# shellcheck disable=SC2086
/usr/sbin/cupsfilter -p "$ppd" -m printer/zova -e $options build/samples/sample.pdf \
  > out/sample.prn 2> out/sample.log || status=$?

echo
echo "document:       build/samples/sample.pdf ($(wc -c < build/samples/sample.pdf) bytes)"
echo "PPD:            $ppd"
echo "options:        ${options:- (defaults: LQ simulation, 180 dpi, A4)}"
echo "printer stream: out/sample.prn, $(wc -c < out/sample.prn) bytes"
echo "pages printed:  $(grep -c '^PAGE:' out/sample.log || true)"
echo "filter chain:   $(sed -n 's/^INFO: \(.*\) (PID [0-9]*) started\./\1/p' out/sample.log | tr '\n' ' ')"
echo "messages:       out/sample.log"
if [ "$status" != 0 ]; then
  echo "ERROR: cupsfilter exited with status $status; see out/sample.log" >&2
  exit "$status"
fi
echo "pages as printed (out/sample/):"
"$bindir/zova-preview" out/sample.prn -o out/sample --page-size "$paper"

# The printer application: a server of its own with its state in out/,
# IPP on a free local port, stopped by its process ID at the end.
# A passbook page of plain text: CUPS sends it to texttozova, which prints
# it in the printer's own fonts.
rm -rf out/sample-text
mkdir -p out/sample-text
/usr/sbin/cupsfilter -p "$ppd" -m printer/zova -e -o PageSize=140x180mm \
  -o ZovaCharacterTable=PC858 -o ZovaTextQuality=LQ -o cpi=12 samples/passbook.txt \
  > out/sample-text.prn 2> out/sample-text.log || status=$?
echo
echo "text:           samples/passbook.txt, out/sample-text.prn, $(wc -c < out/sample-text.prn) bytes"
echo "filter chain:   $(sed -n 's/^INFO: \(.*\) (PID [0-9]*) started\./\1/p' out/sample-text.log | tr '\n' ' ')"
if [ "$status" != 0 ]; then
  echo "ERROR: cupsfilter exited with status $status; see out/sample-text.log" >&2
  exit "$status"
fi
echo "the page as printed (out/sample-text/), and its text read back:"
"$bindir/zova-preview" out/sample-text.prn -o out/sample-text --page-size 140x180mm --time
"$bindir/zova-preview" out/sample-text.prn --text

app_dir=$(pwd)/out/sample-app.d
rm -rf "$app_dir" out/sample-app
mkdir -p "$app_dir" out/sample-app
: > out/sample-app.prn
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# Its local socket, the owner's way to add a printer, in the same place: for
# root PAPPL would put it in /run, where a service's may be.
export TMPDIR="$app_dir" SNAP_COMMON="$app_dir"
"$bindir/zova-printer-app" server -o state-directory="$app_dir" -o log-file="$app_dir/log" \
  -o listen-hostname=127.0.0.1 -o server-port="$port" > "$app_dir/server.out" 2>&1 &
app_pid=$!
trap 'kill "$app_pid" 2> /dev/null; wait "$app_pid" 2> /dev/null || true' EXIT
uri=ipp://127.0.0.1:$port
tries=0
until "$bindir/zova-printer-app" status -u "$uri/ipp/system" > /dev/null 2>&1; do
  tries=$((tries + 1))
  [ "$tries" -lt 50 ] || { echo "ERROR: zova-printer-app did not start; see $app_dir" >&2; exit 1; }
  sleep 0.2
done
"$bindir/zova-printer-app" add -d zova -m zova-qrt \
  -v "file://$(pwd)/out/sample-app.prn"
job_id=$("$bindir/zova-printer-app" submit -u "$uri/ipp/print/zova" build/samples/sample.pdf)
tries=0
while "$bindir/zova-printer-app" jobs -u "$uri/ipp/print/zova" | grep -Eq 'pending|held|processing'; do
  tries=$((tries + 1))
  [ "$tries" -lt 300 ] || { echo "ERROR: the app's job did not end; see $app_dir/log" >&2; exit 1; }
  sleep 0.2
done
if ! "$bindir/zova-printer-app" jobs -u "$uri/ipp/print/zova" | grep -q completed; then
  echo "ERROR: the app's job did not complete; see $app_dir/log" >&2
  exit 1
fi
echo
echo "printer app:    job $job_id, out/sample-app.prn, $(wc -c < out/sample-app.prn) bytes (log: $app_dir/log)"
echo "pages as printed by the app (out/sample-app/):"
"$bindir/zova-preview" out/sample-app.prn -o out/sample-app --page-size A4
