#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and builds and runs a small C program
# against it, once with pkg-config and once with the CMake package.
#   install-check.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

cat >"$work/app.c" <<'C'
#include <stdio.h>
#include "Torvane_api.h"
int main(void) {
    uint32_t count = 0;
    printf("kit %s\n", QL_GetSDKVersion());
    return QL_GetDeviceCount(&count) == -102 ? 0 : 1;
}
C

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
cc -std=c99 -Wall -Wextra -Werror -o "$work/app-pc" "$work/app.c" $(pkg-config --cflags --libs torvane)
"$work/app-pc"

cat >"$work/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.20)
project(app C)
find_package(Torvane REQUIRED)
add_executable(app-cmake app.c)
target_link_libraries(app-cmake PRIVATE Torvane::api)
CM
cmake -S "$work" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/app-cmake"
