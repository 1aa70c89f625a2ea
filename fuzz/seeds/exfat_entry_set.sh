#!/usr/bin/env bash
# Input: a byte that says where the slots split into two pieces, then the
# slots. Seeds: every cluster of the real exFAT volumes that holds entry sets.
set -euo pipefail
pool=$1 out=$2
for volume in "$pool"/volumes/exfat*.img; do
  [ -f "$volume" ] || continue
  python3 "$(dirname "$0")/exfat_directories.py" "$volume" "$out/$(basename "$volume" .img)" '\x03'
done
