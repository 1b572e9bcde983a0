#!/usr/bin/env bash
# Checks that the tracked C and C++ sources are formatted as .clang-format says.
#   bash scripts/check-format.sh              check every tracked source, list the ones that differ
#   bash scripts/check-format.sh --fix        format them in place
#   bash scripts/check-format.sh [--fix] FILE...   only these files
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
start="$PWD"

# The one list of tracked sources the formatter leaves alone: extended regular expressions
# matched against the path from the repository root. Empty: every source is ours and formatted.
# A table inside a file is kept by hand between `// clang-format off` and `// clang-format on`.
exclude=(
)

# Another major version of clang-format lays some lines out differently.
expected_major=14

usage() {
  echo "usage: $0 [--fix] [FILE...]" >&2
  exit 2
}

fix=0
files=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --fix) fix=1; shift ;;
    -h|--help) usage ;;
    -*) usage ;;
    /*) files+=("$1"); shift ;;
    *) files+=("$start/$1"); shift ;;
  esac
done
cd "$root"
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "check-format: no such file: $f" >&2; exit 2; }
done

if ! command -v clang-format >/dev/null 2>&1; then
  echo "check-format: clang-format is not installed (bash scripts/bootstrap.sh installs it)" >&2
  exit 2
fi
version="$(clang-format --version)"
major="$(sed -n 's/.*clang-format version \([0-9]*\).*/\1/p' <<<"$version")"
if [ "$major" != "$expected_major" ]; then
  echo "check-format: $version; the style was set with clang-format $expected_major," \
       "other versions may differ on a few lines" >&2
fi

if [ "${#files[@]}" -eq 0 ]; then
  mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h')
fi
if [ "${#exclude[@]}" -gt 0 ]; then
  pattern="$(IFS='|'; echo "${exclude[*]}")"
  mapfile -t files < <(printf '%s\n' "${files[@]}" | grep -Ev "$pattern" || true)
fi
if [ "${#files[@]}" -eq 0 ]; then
  exit 0
fi

jobs="$(nproc)"
if [ "$fix" -eq 1 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -P "$jobs" -n 20 clang-format -i --style=file
  exit 0
fi

# Each batch prints the names of its files that differ, sorted and once, in one short write,
# so that parallel batches do not cut each other's lines.
mapfile -t differ < <(printf '%s\0' "${files[@]}" |
  xargs -0 -P "$jobs" -n 20 sh -c 'clang-format --dry-run --Werror --style=file "$@" 2>&1 >/dev/null |
    sed -n "s/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p" | sort -u' _ |
  sed "s|^$root/||" | sort)
if [ "${#differ[@]}" -eq 0 ]; then
  exit 0
fi

echo "check-format: ${#differ[@]} file(s) differ from .clang-format:" >&2
printf '  %s\n' "${differ[@]}" >&2
if [ "${#differ[@]}" -le 10 ]; then
  echo "fix them with:  bash scripts/check-format.sh --fix ${differ[*]}" >&2
else
  echo "fix them with:  bash scripts/check-format.sh --fix" >&2
fi
echo "(or see the changes first:  clang-format --dry-run FILE)" >&2
exit 1
