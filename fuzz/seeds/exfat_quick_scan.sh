#!/usr/bin/env bash
# Input: a flag byte (bit 0: the input starts at the FAT; clear: it goes on
# in the root after its bitmap entry), then the bytes. Seeds: the entry
# sets of the real exFAT volumes, each folder's as the root's continuation.
set -euo pipefail
pool=$1 out=$2
for volume in "$pool"/volumes/exfat*.img; do
  [ -f "$volume" ] || continue
  python3 "$(dirname "$0")/exfat_directories.py" "$volume" "$out/$(basename "$volume" .img)" '\x00'
done
