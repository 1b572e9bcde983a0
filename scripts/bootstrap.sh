#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Quick when nothing is: it only asks dpkg.
set -euo pipefail

# Build: cmake, make, g++, pkg-config; tests: iproute2 and util-linux (ip and unshare for the
# network namespaces), GoogleTest; benchmarks: Google Benchmark; fuzz targets: clang and its
# runtimes; the kit: jsoncpp, TurboJPEG, cpp-httplib; the quick-start example and demo: libpng.
packages=(
  cmake g++ make pkg-config iproute2 util-linux clang libclang-rt-dev
  libgtest-dev libbenchmark-dev
  libjsoncpp-dev libturbojpeg0-dev libcpp-httplib-dev libpng-dev
  clang-format
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: root is needed to install packages" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
