#!/usr/bin/env bash
# Input: the MFT of a volume with 2 KiB clusters. Seeds: the first records
# of each real MFT, in order.
set -euo pipefail
pool=$1 out=$2
for volume in ntfs-small ntfs-rich; do
  records=("$pool"/mft/"$volume"-*)
  [ -f "${records[0]}" ] || continue
  cat "${records[@]:0:48}" > "$out/$volume-mft"
done
