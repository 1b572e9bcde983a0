#!/usr/bin/env bash
# The test command: bootstrap, configure, build, run every test.
#   bash scripts/test.sh                    plain build in build/
#   bash scripts/test.sh --sanitize address ASan+UBSan build in build-address/
#   bash scripts/test.sh --sanitize thread  TSan build in build-thread/
#   --tests REGEX                           run only the tests whose names match
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sanitize=""
tests=""
while [ "$#" -gt 0 ]; do
  case "$1" in
    --sanitize) sanitize="$2"; shift 2 ;;
    --tests) tests="$2"; shift 2 ;;
    *) echo "usage: $0 [--sanitize address|thread] [--tests REGEX]" >&2; exit 2 ;;
  esac
done

bash "$root/scripts/bootstrap.sh"

build="$root/build"
args=()
if [ -n "$sanitize" ]; then
  build="$root/build-$sanitize"
  # Timings under a sanitizer mean nothing: its builds leave the benchmarks out.
  args+=("-DKIT_SANITIZE=$sanitize" "-DKIT_BENCHMARKS=OFF")
fi
jobs="$(nproc)"

cmake -S "$root" -B "$build" "${args[@]}"
cmake --build "$build" -j"$jobs"
cd "$build"
filter=()
if [ -n "$tests" ]; then
  filter+=(-R "$tests")
fi
# The demo runs the example program against the simulator; the plain run covers it.
if [ -n "$sanitize" ]; then
  filter+=(-LE demo)
fi
ctest -j"$jobs" --output-on-failure --timeout 300 "${filter[@]}"
