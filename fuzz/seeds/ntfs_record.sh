#!/usr/bin/env bash
# Input: a byte choosing the record size (bit 0: 4096, else 1024), then one
# FILE record. Seeds: every real record.
set -euo pipefail
pool=$1 out=$2
for record in "$pool"/mft/*; do
  [ -f "$record" ] || continue
  { printf '\x00'; cat "$record"; } > "$out/$(basename "$record")"
done
