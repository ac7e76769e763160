#!/bin/sh
# Sets up a fresh Debian 12 machine (as root) with the test tools, builds the
# driver twice, with Debian's packaging flags (dpkg-buildflags) and with
# AddressSanitizer + UndefinedBehaviorSanitizer, each with warnings as
# errors, runs every test in both builds, builds it once more as a Release
# build (warnings as errors, not tested again), then runs each fuzzer for
# FUZZ_SECONDS (default 30) when clang is installed. Exits non-zero when
# anything fails.
set -eu
cd "$(dirname "$0")/.."

# Packages need root (or sudo without a password); a developer without
# either keeps the packages already installed.
scripts/install-deps.sh --tests || [ "$(id -u)" != 0 ] || exit 1

jobs=$(nproc 2>/dev/null || echo 2)

build() {
  dir=$1
  shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
}
# CTEST_ARGS: more ctest arguments.
build_and_test() {
  build "$@"
  # shellcheck disable=SC2086
  ctest --test-dir "$1" --output-on-failure --no-tests=error -j "$jobs" ${CTEST_ARGS:-}
}

# scripts/print-sample.sh configures build/ without tests: turn them on.
all="-DZOVA_BUILD_TESTS=ON -DZOVA_BUILD_BENCHMARKS=ON -DZOVA_WARNINGS_AS_ERRORS=ON"
# The flags a Debian package is built with; CMake takes no CPPFLAGS.
flag() { dpkg-buildflags --get "$1"; }
# shellcheck disable=SC2086
build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo $all \
  -DCMAKE_C_FLAGS="$(flag CFLAGS) $(flag CPPFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(flag CXXFLAGS) $(flag CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)"
# The build test (label build) makes a build of its own, the same in both.
# shellcheck disable=SC2086
CTEST_ARGS="-LE build" build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DZOVA_SANITIZE=ON $all \
  -DCMAKE_C_FLAGS= -DCMAKE_CXX_FLAGS= -DCMAKE_EXE_LINKER_FLAGS= -DCMAKE_SHARED_LINKER_FLAGS=
# -O3 warns where -O2 does not.
# shellcheck disable=SC2086
build build-release -DCMAKE_BUILD_TYPE=Release $all \
  -DCMAKE_C_FLAGS= -DCMAKE_CXX_FLAGS= -DCMAKE_EXE_LINKER_FLAGS= -DCMAKE_SHARED_LINKER_FLAGS=
if command -v clang++ > /dev/null 2>&1; then
  scripts/run-fuzzers.sh "${FUZZ_SECONDS:-30}"
else
  echo "clang++ not found: the fuzzers are not run"
fi
echo "All tests passed in both builds; the Release build is warning-free."
