#!/usr/bin/env bash
# Input: the sector a file starts in (and the disk after it). Seeds: the
# head of every real file.
set -euo pipefail
pool=$1 out=$2
for file in "$pool"/files/*; do
  [ -f "$file" ] && head -c 4096 "$file" > "$out/$(basename "$file")"
done
