#!/usr/bin/env bash
# Input: a jbd2 log of 1 KiB blocks. Seeds: the journals of the real
# 1 KiB-block ext volumes of the pool, as their journal inode holds them.
set -euo pipefail
pool=$1 out=$2
command -v debugfs >/dev/null || exit 0
for volume in "$pool"/volumes/ext[34]-small.img; do
  [ -f "$volume" ] || continue
  debugfs -R "dump <8> $out/$(basename "$volume" .img)" "$volume" >/dev/null 2>&1 || true
done
