#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) into build-fuzz/ and runs them.
#   bash scripts/fuzz.sh NAME SECONDS        one target for SECONDS, growing its corpus
#   bash scripts/fuzz.sh --all SECONDS [JOBS] every seed corpus once, then each target for
#                                            SECONDS, JOBS targets at a time (CI)
#   bash scripts/fuzz.sh --list              the target names
# A run keeps what it learns in build-fuzz/corpus/NAME (the checked-in seeds in
# tests/fuzz/corpus/NAME stay as they are) and a finding in build-fuzz/findings/NAME/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
seeds="$root/tests/fuzz/corpus"
netns="$root/tests/support/netns-run"

usage() {
  echo "usage: $0 NAME SECONDS | --all SECONDS [JOBS] | --list" >&2
  exit 2
}

names() {
  (cd "$seeds" && ls -1)
}

build_targets() {
  bash "$root/scripts/bootstrap.sh"
  CC="${CC:-clang}" CXX="${CXX:-clang++}" cmake -S "$root" -B "$build" \
    -DKIT_FUZZ=ON -DKIT_SANITIZE=address -DKIT_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  local targets=()
  for name in "$@"; do targets+=(--target "fuzz_$name"); done
  cmake --build "$build" -j"$(nproc)" "${targets[@]}"
}

# The targets that talk over loopback run in a private network namespace; the build lists them.
runner() {
  if grep -qx "$1" "$build/fuzz/netns-targets"; then echo "$netns"; fi
}

# run NAME SECONDS: fuzzes one target; the last lines of its log show its figures.
run() {
  local name="$1" seconds="$2"
  local corpus="$build/corpus/$name" findings="$build/findings/$name" tmp="$build/tmp/$name"
  mkdir -p "$corpus" "$findings" "$tmp"
  local log="$build/logs/$name.log"
  mkdir -p "$build/logs"
  local status=0
  # Halting on the first error keeps the input that caused it; leaks count as findings.
  TMPDIR="$tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    $(runner "$name") "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=25 -rss_limit_mb=4096 -artifact_prefix="$findings/" "$corpus" "$seeds/$name" >"$log" 2>&1 || status=$?
  rm -rf "$tmp"
  echo "$status" >"$build/logs/$name.status"
  local figures
  figures="$(grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added|stat::peak_rss_mb)' "$log" |
    awk '!seen[$0]++' | tr -s ' \t' ' ' | tr '\n' ' ')"
  echo "fuzz $name: exit $status; corpus $(ls -1 "$corpus" | wc -l) files; $figures"
  if [ "$status" -ne 0 ]; then
    echo "fuzz $name: FINDING, see $log and $findings/" >&2
    tail -n 40 "$log" >&2
  fi
  return "$status"
}

# corpus NAME: every seed once, as a regression run.
corpus() {
  local name="$1" tmp="$build/tmp/$name-seeds"
  mkdir -p "$tmp"
  local status=0
  TMPDIR="$tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    $(runner "$name") "$build/fuzz/fuzz_$name" -runs=0 -rss_limit_mb=4096 "$seeds/$name" >"$build/logs/$name-seeds.log" 2>&1 || status=$?
  rm -rf "$tmp"
  if [ "$status" -ne 0 ]; then
    echo "fuzz $name: its seed corpus fails" >&2
    tail -n 40 "$build/logs/$name-seeds.log" >&2
  fi
  return "$status"
}

[ "$#" -ge 1 ] || usage
case "$1" in
  --list)
    names
    ;;
  --all)
    [ "$#" -ge 2 ] || usage
    seconds="$2"
    jobs="${3:-4}"
    mapfile -t all < <(names)
    build_targets "${all[@]}"
    mkdir -p "$build/logs"
    failed=0
    for name in "${all[@]}"; do corpus "$name" || failed=1; done
    # JOBS targets at a time; each reports its own figures and leaves its exit status.
    for name in "${all[@]}"; do
      rm -f "$build/logs/$name.status"
      while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
      run "$name" "$seconds" &
    done
    wait || true
    for name in "${all[@]}"; do
      [ "$(cat "$build/logs/$name.status" 2>/dev/null)" = 0 ] || { echo "fuzz $name: failed" >&2; failed=1; }
    done
    exit "$failed"
    ;;
  -*)
    usage
    ;;
  *)
    [ "$#" -eq 2 ] || usage
    name="$1"
    [ -d "$seeds/$name" ] || { echo "no fuzz target $name; targets: $(names | tr '\n' ' ')" >&2; exit 2; }
    build_targets "$name"
    run "$name" "$2"
    ;;
esac
