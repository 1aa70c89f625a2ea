#!/usr/bin/env bash
# Input: one FILE record, also laid over the disk every 4 KiB. Seeds: every
# real record.
set -euo pipefail
pool=$1 out=$2
for record in "$pool"/mft/*; do
  [ -f "$record" ] && cp "$record" "$out/"
done
