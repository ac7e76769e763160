#!/bin/sh
# Sets up a fresh Debian 12 machine (as root), builds the driver twice, plainly
# and with AddressSanitizer + UndefinedBehaviorSanitizer, runs every test in
# both builds, then each fuzzer for FUZZ_SECONDS (default 30) when clang is
# installed. Exits non-zero when anything fails.
set -eu
cd "$(dirname "$0")/.."

# Packages need root (or sudo without a password); a developer without
# either keeps the packages already installed.
scripts/install-deps.sh || [ "$(id -u)" != 0 ] || exit 1

jobs=$(nproc 2>/dev/null || echo 2)

build_and_test() {
  dir=$1
  shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOVA_WARNINGS_AS_ERRORS=ON
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DZOVA_SANITIZE=ON -DZOVA_WARNINGS_AS_ERRORS=ON
if command -v clang++ > /dev/null 2>&1; then
  scripts/run-fuzzers.sh "${FUZZ_SECONDS:-30}"
else
  echo "clang++ not found: the fuzzers are not run"
fi
echo "All tests passed in both builds."
