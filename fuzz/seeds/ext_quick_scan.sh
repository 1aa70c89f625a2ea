#!/usr/bin/env bash
# Input: a whole ext volume. Seeds: the small real ext volumes of the pool.
set -euo pipefail
pool=$1 out=$2
for volume in "$pool"/volumes/ext*-small.img; do
  [ -f "$volume" ] && cp "$volume" "$out/$(basename "$volume" .img)"
done
true
