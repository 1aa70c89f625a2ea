#!/usr/bin/env bash
# Input: a whole ext volume. Seeds: the small real ext volumes of the pool,
# each also formatted again (its old inodes and folders left behind) and
# with its first blocks zeroed (read through a backup superblock).
set -euo pipefail
pool=$1 out=$2
for volume in "$pool"/volumes/ext*-small.img; do
  [ -f "$volume" ] || continue
  name=$(basename "$volume" .img)
  cp "$volume" "$out/$name"
  if command -v mkfs.ext4 >/dev/null; then
    cp "$volume" "$out/$name-reformatted"
    mkfs.ext4 -q -F -b 1024 -E nodiscard "$out/$name-reformatted" >/dev/null 2>&1 || true
  fi
  cp "$volume" "$out/$name-zeroed-start"
  dd if=/dev/zero of="$out/$name-zeroed-start" bs=1024 count=64 conv=notrunc status=none
done
true
