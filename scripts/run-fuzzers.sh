#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one for
# SECONDS (default 30) on a scratch copy of its seeds in fuzz/corpus/NAME; the
# committed seeds are not changed. Fails when a fuzzer finds anything: the
# input that did it is left in build-fuzz/findings/NAME/.
#
#   scripts/run-fuzzers.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOVA_FUZZ=ON \
  -DZOVA_BUILD_TESTS=OFF -DZOVA_BUILD_SAMPLES=OFF -DZOVA_BUILD_BENCHMARKS=OFF \
  -DZOVA_WARNINGS_AS_ERRORS=ON > "$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target fuzzers

status=0
for fuzzer in "$build"/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=${fuzzer##*/fuzz_}
  corpus=$scratch/$name
  findings=$build/findings/$name
  mkdir -p "$corpus" "$findings"
  if [ -d "fuzz/corpus/$name" ]; then cp -R "fuzz/corpus/$name/." "$corpus/"; fi
  echo "fuzz_$name: ${seconds} s"
  # The programs' own messages are discarded; libFuzzer's and the
  # sanitizers' reports are kept.
  # A fuzzer's own flags, if it has any, are in fuzz/NAME.options.
  options=$(cat "fuzz/$name.options" 2> /dev/null || true)
  # shellcheck disable=SC2086
  if ! "$fuzzer" -max_total_time="$seconds" -close_fd_mask=2 -print_final_stats=1 $options \
    -artifact_prefix="$findings/" "$corpus" > "$scratch/$name.log" 2>&1; then
    tail -n 60 "$scratch/$name.log"
    echo "ERROR: fuzz_$name found a fault; the input is in $findings/" >&2
    status=1
    continue
  fi
  grep -E '^#[0-9]+.*DONE|^stat::number_of_executed_units|^stat::peak_rss_mb' "$scratch/$name.log"
done
exit $status
