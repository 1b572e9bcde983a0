#!/usr/bin/env bash
# The demo: builds the kit and the quick-start program, plays a camera with camera-sim and
# streams from it, all inside a private network namespace (nothing leaves loopback).
#   bash scripts/demo.sh                  bootstrap, build in build/, run; output in build/demo-output/
#   bash scripts/demo.sh --tof-only       the same with a ToF camera without colour
#   bash scripts/demo.sh --run-only DIR   no bootstrap or build: run against the built tree DIR
#   --output DIR                          where the images and the point cloud go
#   --frames N                            frames to take (default 10)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
output=""
frames=10
colour=1
run_only=0
while [ "$#" -gt 0 ]; do
  case "$1" in
    --run-only) run_only=1; build="$(cd "$2" && pwd)"; shift 2 ;;
    --output) output="$2"; shift 2 ;;
    --frames) frames="$2"; shift 2 ;;
    --tof-only) colour=0; shift ;;
    *) echo "usage: $0 [--tof-only] [--frames N] [--output DIR] [--run-only BUILD_DIR]" >&2; exit 2 ;;
  esac
done
output="${output:-$build/demo-output}"
# Everything a run writes into the output folder; a run first removes what an earlier one left.
outputs=(depth.png ir.png colour.png registered.png pointcloud.ply camera-sim.log
  QueltaSDK.txt halden_tof.txt rc1720.txt bakQueltaSDK.txt bakhalden_tof.txt bakrc1720.txt)

# Inside the namespace: loopback up, a simulated camera on 127.0.0.2, the quick-start against it.
if [ -n "${DEMO_INSIDE_NETNS:-}" ]; then
  ip link set lo up
  # A box 1.2 m away before a wall at 1.8 m, as raw four-phase records in depth range 2,
  # which reaches 2498 mm: the whole scene decodes to its true depth, nothing wraps.
  sim_args=(--ip 127.0.0.2 --sn SIM0001 --scene box:1800,1200 --record raw --depth-range 2)
  if [ "$colour" -eq 1 ]; then
    sim_args+=(--type 0x12)
  else
    sim_args+=(--type 0x11)
  fi
  "$build/bin/camera-sim" "${sim_args[@]}" >"$output/camera-sim.log" 2>&1 &
  sim=$!
  trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
  rc=0
  timeout 120 "$build/bin/quickstart" -o "$output" -n "$frames" || rc=$?
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  trap - EXIT
  exit "$rc"
fi

if [ "$run_only" -eq 0 ]; then
  bash "$root/scripts/bootstrap.sh"
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build"
  fi
  cmake --build "$build" -j"$(nproc)" --target quickstart camera-sim halden_tof rc1720
fi

mkdir -p "$output"
output="$(cd "$output" && pwd)"
for f in "${outputs[@]}"; do
  rm -f "$output/$f"
done
args=(--frames "$frames" --output "$output" --run-only "$build")
if [ "$colour" -eq 0 ]; then
  args+=(--tof-only)
fi
# Root makes the namespace itself; anyone else needs user namespaces.
unshare_args=(-n)
if [ "$(id -u)" -ne 0 ]; then
  unshare_args=(-r -n)
fi
DEMO_INSIDE_NETNS=1 unshare "${unshare_args[@]}" -- bash "$root/scripts/demo.sh" "${args[@]}"

# The run began by removing every output, so what is there now is what it wrote.
echo
echo "demo: done. Output in $output:"
for f in depth.png ir.png colour.png registered.png pointcloud.ply; do
  if [ -s "$output/$f" ]; then
    echo "  $output/$f"
  fi
done
logs=""
for log in "QueltaSDK.txt (kit)" "halden_tof.txt (ToF plug-in)" "rc1720.txt (colour plug-in)" \
  "camera-sim.log (simulator)"; do
  if [ -e "$output/${log%% *}" ]; then
    logs="${logs:+$logs, }$log"
  fi
done
echo "  logs: $logs"
