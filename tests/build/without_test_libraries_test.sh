#!/bin/sh
# The quick start on a machine with only what scripts/install-deps.sh
# installs: GoogleTest and Google Benchmark hidden from CMake (the machine's
# own stay installed), the driver configures with the default options, says
# which tests and benchmarks it leaves out and why, and builds without a
# warning.
# Usage: without_test_libraries_test.sh SOURCE_DIR
set -eu
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
build=$scratch/build

fail() { echo "FAILED: $*" >&2; exit 1; }

cmake -S "$source" -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON > "$scratch/configure.out" 2>&1 ||
  fail "configure: $(cat "$scratch/configure.out")"
for said in "-- GoogleTest not found: the tests are not built (scripts/install-deps.sh --tests installs it)" \
  "-- Google Benchmark not found: zova_id_bench is not built"; do
  grep -qxF -- "$said" "$scratch/configure.out" || fail "not said: $said
$(cat "$scratch/configure.out")"
done
if grep -q 'CMake \(Error\|Warning\)' "$scratch/configure.out"; then
  fail "configure: $(cat "$scratch/configure.out")"
fi

cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" > "$scratch/build.out" 2>&1 ||
  fail "build: $(tail -n 40 "$scratch/build.out")"
if grep -q 'warning:' "$scratch/build.out"; then
  fail "the build warned: $(grep -A3 'warning:' "$scratch/build.out")"
fi
for program in filter/rastertozova filter/texttozova filter/commandtozova tools/zova_ID/zova_ID \
  tools/preview/zova-preview tools/testpage/zova-testpage printer-app/zova-printer-app; do
  [ -x "$build/$program" ] || fail "$program was not built"
done
[ ! -e "$build/tests" ] || fail "the tests were configured: $(ls "$build/tests")"
echo "The driver builds without GoogleTest and Google Benchmark, and says so."
