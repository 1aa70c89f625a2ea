#!/usr/bin/env bash
# Imaging speed: `salvora image` of a 2 GiB loop device next to `dd bs=1M`
# of the same device in the same run. Needs root (loop devices).
# Usage: bench/imaging.sh [size in MiB, default 2048]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-2048}
build=${SALVORA_BENCH_BUILD:-build-bench}
if [ ! -x "$build/salvora" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSALVORA_TESTS=OFF >/dev/null
  cmake --build "$build" --target salvora >/dev/null
fi
salvora=$(realpath "$build/salvora")

work=$(mktemp -d /var/tmp/salvora-bench-XXXXXX)
loop=""
cleanup() {
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Real bytes, not a sparse file, so that the device has to deliver them.
head -c $((size_mib << 20)) /dev/urandom >"$work/source.raw"
loop=$(losetup -f --show "$work/source.raw")

drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || true; }

# Seconds taken by a command, to the millisecond.
timed() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", (e - s) / 1e9 }'
}

rate() { awk -v m="$size_mib" -v t="$1" 'BEGIN { printf "%.1f", m / t }'; }
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

best_dd=""
best_salvora=""
for round in 1 2 3; do
  drop_caches
  t=$(timed dd if="$loop" of="$work/dd.img" bs=1M)
  rm -f "$work/dd.img"
  if [ -z "$best_dd" ] || less "$t" "$best_dd"; then best_dd=$t; fi
  drop_caches
  t=$(timed "$salvora" image --yes "$loop" "$work/salvora.img")
  cmp -s "$loop" "$work/salvora.img" || { echo "salvora image differs from the device" >&2; exit 1; }
  rm -f "$work/salvora.img"
  if [ -z "$best_salvora" ] || less "$t" "$best_salvora"; then best_salvora=$t; fi
done

dd_rate=$(rate "$best_dd")
salvora_rate=$(rate "$best_salvora")
printf 'imaging %d MiB loop device, best of 3\n' "$size_mib"
printf '  dd bs=1M        %8s s  %8s MiB/s\n' "$best_dd" "$dd_rate"
printf '  salvora image   %8s s  %8s MiB/s  (%s%% of dd)\n' "$best_salvora" "$salvora_rate" \
  "$(awk -v a="$salvora_rate" -v b="$dd_rate" 'BEGIN { printf "%d", 100 * a / b }')"
