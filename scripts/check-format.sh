#!/bin/sh
# Fails when a C++ file differs from what clang-format makes of it.
set -eu
cd "$(dirname "$0")/.."
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror
echo "clang-format: all files formatted."
