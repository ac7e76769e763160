#!/bin/sh
# Installs what the driver needs on Debian 12. Run as root.
#
#   scripts/install-deps.sh           to build, install and print (CUPS,
#                                     cups-filters, Ghostscript, the PPD
#                                     compiler, PAPPL, the build tools)
#   scripts/install-deps.sh --tests   that, and what the tests and the style
#                                     check run: GoogleTest, Google Benchmark,
#                                     clang and clang-format (the fuzzers),
#                                     ipptool, Chromium (the web page test),
#                                     systemd (systemd-analyze) and groff
#                                     (the manual pages' test)
set -eu
case "${1:-}" in
  "") tests=false ;;
  --tests) tests=true ;;
  *)
    echo "ERROR: unknown option $1 (use --tests, or nothing)" >&2
    exit 2
    ;;
esac
if [ "$(id -u)" != 0 ]; then
  if command -v sudo > /dev/null 2>&1 && sudo -n true 2> /dev/null; then
    exec sudo -n "$0" "$@"
  fi
  echo "ERROR: installing packages needs root (run as root, or with sudo)" >&2
  exit 1
fi
packages="build-essential cmake pkg-config
  libcups2-dev libpng-dev libpappl-dev libjpeg-dev
  cups cups-client cups-filters cups-ppdc ghostscript poppler-utils fonts-dejavu-core python3"
if $tests; then
  packages="$packages libgtest-dev libbenchmark-dev clang-format clang libclang-rt-14-dev
    cups-ipp-utils chromium systemd groff-base"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
# shellcheck disable=SC2086
apt-get install -y --no-install-recommends $packages
