#!/usr/bin/env bash
# Carving sweep speed: a 1 GiB image of random bytes with real files
# sprinkled in at sector boundaries, swept by the carving engine alone, next
# to the rate of reading the same (cached) image.
# Usage: bench/carving_sweep.sh [BUILD_DIR]  (a build with -DSALVORA_BENCH=ON)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export SALVORA_DATA_DIR="$work/data"

mkdir "$work/files"
"$root/tests/carving/make_real_files.sh" "$work/files"
image="$work/sweep.img"
head -c $((1024 * 1024 * 1024)) /dev/urandom > "$image"
# One file every 8 MiB, cycling through the fixtures.
files=("$work"/files/*)
offset=$((4096 * 512))
i=0
while [ $((offset + 200 * 1024)) -lt $((1024 * 1024 * 1024)) ]; do
  f="${files[$((i % ${#files[@]}))]}"
  dd if="$f" of="$image" bs=512 seek=$((offset / 512)) conv=notrunc status=none
  offset=$((offset + 8 * 1024 * 1024))
  i=$((i + 1))
done
echo "placed $i files"

cat "$image" > /dev/null
# Wall and CPU seconds of reading the cached image, for comparison with the
# sweep's real and CPU time below (the machine may be shared).
TIMEFORMAT='cat (cached): %R s real, %U s user + %S s sys for 1024 MiB'
time cat "$image" > /dev/null

SALVORA_SWEEP_IMAGE="$image" "$build/bench_carving_sweep" --benchmark_counters_tabular=true
