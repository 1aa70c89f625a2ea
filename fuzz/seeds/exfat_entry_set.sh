#!/usr/bin/env bash
# Input: a byte choosing where the slots are split in two reads, then
# directory slots. Seeds: the slots of the real exFAT volume's folders.
set -euo pipefail
pool=$1 out=$2
volume="$pool/volumes/exfat.img"
[ -f "$volume" ] || exit 0
for split in 0 3; do
  { printf "\\x0$split"; python3 "$(dirname "$0")/exfat-slots.py" "$volume"; } > "$out/slots-$split"
done
