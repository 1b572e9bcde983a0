#!/usr/bin/env bash
# Runs the demo's core (simulated camera and quick-start in a private network namespace) on a
# built tree and checks that it wrote the images and the point cloud; then a ToF-only run into
# the same folder, which must leave none of the colour camera's files behind. Each run's closing
# message must name the files it wrote and no other.
#   demo-check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src="$1"
build="$2"
out="$build/tests/demo-output"
rm -rf "$out"
status=0
message=""

# Runs the demo into $out with ARGS, showing its output; keeps its closing message in $message,
# without the folder's path, which could hold a file's name.
run_demo() {
  local log="$build/tests/demo-check.log"
  bash "$src/scripts/demo.sh" --run-only "$build" --output "$out" "$@" | tee "$log"
  message="$(sed -n '/^demo: done\./,$p' "$log")"
  message="${message//"$out"/}"
}

# RUN named|unnamed FILE...: whether $message, the closing message of RUN, names each FILE.
check_message() {
  local run="$1" want="$2" f
  shift 2
  for f in "$@"; do
    if grep -qF "$f" <<<"$message"; then
      [ "$want" = named ] && continue
      echo "demo-check: the $run run's closing message names $f, which that run did not write" >&2
    else
      [ "$want" = unnamed ] && continue
      echo "demo-check: the $run run's closing message does not name $f" >&2
    fi
    status=1
  done
}

run_demo --frames 5
check_message colour named depth.png colour.png registered.png QueltaSDK.txt halden_tof.txt rc1720.txt camera-sim.log
for f in depth.png ir.png colour.png registered.png pointcloud.ply QueltaSDK.txt halden_tof.txt rc1720.txt; do
  if [ ! -s "$out/$f" ]; then
    echo "demo-check: $out/$f is missing or empty" >&2
    status=1
  fi
done
if ! head -c 8 "$out/depth.png" | od -An -tx1 | grep -q "89 50 4e 47"; then
  echo "demo-check: depth.png is not a PNG file" >&2
  status=1
fi
if [ "$(head -n 1 "$out/pointcloud.ply")" != "ply" ]; then
  echo "demo-check: pointcloud.ply has no PLY header" >&2
  status=1
fi
run_demo --frames 2 --tof-only
check_message ToF-only named depth.png QueltaSDK.txt halden_tof.txt camera-sim.log
check_message ToF-only unnamed colour.png registered.png rc1720.txt
for f in colour.png registered.png rc1720.txt; do
  if [ -e "$out/$f" ]; then
    echo "demo-check: $out/$f of the colour run is still there after a ToF-only run" >&2
    status=1
  fi
done
if [ ! -s "$out/depth.png" ]; then
  echo "demo-check: the ToF-only run wrote no depth.png" >&2
  status=1
fi
exit "$status"
