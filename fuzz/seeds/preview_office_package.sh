#!/usr/bin/env bash
# Input: an OOXML or OpenDocument package. Seeds: the pool's office files.
set -euo pipefail
pool=$1 out=$2
for document in "$pool"/files/*.{docx,xlsx,pptx,odt,ods,odp}; do
  if [ -f "$document" ]; then cp "$document" "$out/"; fi
done
