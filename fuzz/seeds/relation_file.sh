#!/usr/bin/env bash
# Input: a store's relation file. Seeds: those of real scans.
set -euo pipefail
pool=$1 out=$2
for relation in "$pool"/relations/*; do
  [ -f "$relation" ] && cp "$relation" "$out/"
done
