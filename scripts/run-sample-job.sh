#!/bin/sh
# The main job: on a fresh Debian 12 machine (as root) installs what the
# driver needs, builds it, prints a generated four-page job (text and
# picture pages, both command sets, 180 and 360 dpi) through the filter into
# out/sample-job.prn, and shows what came out: the filter's page lines, and
# each page as the printer would print it, drawn by zova-preview into
# out/page-N.png.
set -eu
cd "$(dirname "$0")/.."

# Packages need root (or sudo without a password); a developer without
# either keeps the packages already installed.
scripts/install-deps.sh || [ "$(id -u)" != 0 ] || exit 1
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOVA_BUILD_TESTS=OFF \
  -DZOVA_BUILD_BENCHMARKS=OFF
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"

mkdir -p out
build/tools/testpage/zova-testpage out/sample-job.ras \
  text:LQ:180 photo:LQ:180 text:LQ:360 text:ZOVA:180

# The halftoning tool for the picture page, found through PATH as CUPS
# would find it.
tooldir=$(mktemp -d)
trap 'rm -rf "$tooldir"' EXIT
ln -s "$(realpath build/tools/zova_ID/zova_ID)" "$tooldir/zova_ID"
# The driver's own PPD, as the build made it.
ppd=build/ppd/zovaqrt.ppd

status=0
PATH="$tooldir:$PATH" PPD="$ppd" build/filter/rastertozova 1 "$(id -un)" "Sample job" 1 "" \
  out/sample-job.ras > out/sample-job.prn 2> out/sample-job.log || status=$?

echo "rastertozova exit status: $status"
echo "printer stream: out/sample-job.prn, $(wc -c < out/sample-job.prn) bytes"
echo "pages printed: $(grep -c '^PAGE:' out/sample-job.log)"
grep -E '^DEBUG: (V1.0 PAGE|pic number)|^DEBUG:pic' out/sample-job.log
build/tools/preview/zova-preview out/sample-job.prn -o out --time || status=1
exit "$status"
