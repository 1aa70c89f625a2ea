#!/usr/bin/env bash
# Input: an ext volume from its second KiB on. Seeds: the first 256 KiB of
# every real ext volume of the pool, superblock, descriptors and tables.
set -euo pipefail
pool=$1 out=$2
for volume in "$pool"/volumes/ext*.img; do
  [ -f "$volume" ] &&
    dd if="$volume" of="$out/$(basename "$volume" .img)" bs=1024 skip=1 count=256 status=none
done
true
