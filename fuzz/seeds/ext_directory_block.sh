#!/usr/bin/env bash
# Input: a layout byte (bit 0 file types, bits 1-3 the block size as
# 1 KiB << n), then the block. Seeds: every directory block of the real
# ext volumes of the pool.
set -euo pipefail
pool=$1 out=$2
command -v debugfs >/dev/null || exit 0
for volume in "$pool"/volumes/ext*.img; do
  [ -f "$volume" ] || continue
  size=$(debugfs -R stats "$volume" 2>/dev/null | sed -n 's/^Block size: *//p')
  [ -n "$size" ] || continue
  shift_by=0
  while [ $((1024 << shift_by)) -lt "$size" ]; do shift_by=$((shift_by + 1)); done
  layout=$(printf '\\x%02x' $((1 | shift_by << 1)))
  for folder in / /Docs /Photos /lost+found; do
    for block in $(debugfs -R "blocks $folder" "$volume" 2>/dev/null); do
      seed="$out/$(basename "$volume" .img)-${folder//\//_}-$block"
      { printf "$layout"; dd if="$volume" bs="$size" skip="$block" count=1 status=none; } > "$seed"
    done
  done
done
