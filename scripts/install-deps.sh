#!/bin/sh
# Installs everything the driver needs to build and test on Debian 12. Run as root.
set -eu
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config \
  libcups2-dev libgtest-dev libbenchmark-dev libpng-dev \
  clang-format \
  cups cups-client cups-filters cups-ppdc ghostscript fonts-dejavu-core
