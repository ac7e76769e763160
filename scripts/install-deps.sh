#!/bin/sh
# Installs everything the driver needs to build and test on Debian 12. Run as root.
set -eu
if [ "$(id -u)" != 0 ]; then
  if command -v sudo > /dev/null 2>&1 && sudo -n true 2> /dev/null; then
    exec sudo -n "$0" "$@"
  fi
  echo "ERROR: installing packages needs root (run as root, or with sudo)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config \
  libcups2-dev libgtest-dev libbenchmark-dev libpng-dev libpappl-dev libjpeg-dev \
  clang-format clang libclang-rt-14-dev \
  cups cups-client cups-filters cups-ppdc cups-ipp-utils ghostscript fonts-dejavu-core \
  chromium systemd
