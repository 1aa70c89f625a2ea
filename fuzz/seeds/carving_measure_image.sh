#!/usr/bin/env bash
# Input: a disk carved from its first sector to its last. Seeds: each real
# file alone, and all of them one after another on sector boundaries.
set -euo pipefail
pool=$1 out=$2
disk="$out/all-files"
: > "$disk"
for file in "$pool"/files/*; do
  [ -f "$file" ] || continue
  head -c 262144 "$file" > "$out/$(basename "$file")"
  cat "$file" >> "$disk"
  size=$(stat -c %s "$disk")
  truncate -s $(( (size + 511) / 512 * 512 )) "$disk"
done
truncate -s "<1048576" "$disk"
