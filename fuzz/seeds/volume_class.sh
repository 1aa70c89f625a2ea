#!/usr/bin/env bash
# Input: the first 16 KiB of a volume. Seeds: those of every real volume.
set -euo pipefail
pool=$1 out=$2
for volume in "$pool"/volumes/*; do
  [ -f "$volume" ] && head -c 16384 "$volume" > "$out/$(basename "$volume" .img)"
done
