#!/usr/bin/env bash
# Runs the demo's core (simulated camera and quick-start in a private network namespace) on a
# built tree and checks that it wrote the images and the point cloud; then a ToF-only run into
# the same folder, which must leave none of the colour camera's files behind.
#   demo-check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src="$1"
build="$2"
out="$build/tests/demo-output"
rm -rf "$out"
bash "$src/scripts/demo.sh" --run-only "$build" --frames 5 --output "$out"
status=0
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
bash "$src/scripts/demo.sh" --run-only "$build" --frames 2 --output "$out" --tof-only
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
