#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Quick when nothing is: it only asks dpkg.
set -euo pipefail

packages=(
  cmake g++ make pkg-config iproute2 util-linux clang libclang-rt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libjsoncpp-dev libturbojpeg0-dev libcpp-httplib-dev libpng-dev python3
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
