#!/bin/sh
# The main job. On a fresh Debian 12 machine, as root, from the project root:
#
#   scripts/print-sample.sh [OPTION=VALUE ...]
#
# installs what the driver needs (CUPS, cups-filters, Ghostscript, the PPD
# compiler, the build tools), builds and installs the driver, and prints the
# sample document (a page of text and a picture page, drawn by
# samples/sample.ps) through the real CUPS filter chain into the printer
# stream out/sample.prn, then shows what came out and draws each page as the
# printer would print it (out/sample/page-N.png). Options go to the job as
# -o OPTION=VALUE, e.g. ZovaCommandSet=Native Resolution=360dpi media=Letter.
set -eu
cd "$(dirname "$0")/.."

if [ "$(id -u)" != 0 ]; then
  echo "ERROR: run as root: the driver is installed into CUPS's directories" >&2
  exit 1
fi
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
cmake --install build

cached() { sed -n "s/^$1:[A-Z]*=//p" build/CMakeCache.txt; }
modeldir=$(cached ZOVA_CUPS_MODELDIR)
bindir=$(cached CMAKE_INSTALL_PREFIX)/bin
ppd=$modeldir/zovaqrt.ppd

options=""
for option in "$@"; do
  options="$options -o $option"
done

rm -rf out/sample
mkdir -p out/sample
status=0
# -e: run the PPD's own filter (rastertozova) at the end of the chain.
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
exec "$bindir/zova-preview" out/sample.prn -o out/sample
