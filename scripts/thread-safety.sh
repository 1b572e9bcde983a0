#!/usr/bin/env bash
# Builds the kit and its plug-ins with clang's thread-safety analysis as errors, into
# build-tsa/, after checking that the analysis stops a planted unguarded access.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-tsa"
flags="-Wthread-safety -Werror=thread-safety"
CXX="${CXX:-clang++}"

# A build that passed because the analysis was off would prove nothing.
planted="$root/tests/thread-safety/UnguardedAccess.cpp"
if out="$("$CXX" -std=c++17 $flags -I"$root/sources/sensor/Common" -fsyntax-only "$planted" 2>&1)"; then
  echo "thread-safety: $planted compiled; the analysis is not on" >&2
  exit 1
fi
if ! grep -q "requires holding mutex" <<<"$out"; then
  echo "thread-safety: $planted failed for another reason:" >&2
  echo "$out" >&2
  exit 1
fi

bash "$root/scripts/bootstrap.sh"
CC="${CC:-clang}" CXX="$CXX" cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j"$(nproc)"
