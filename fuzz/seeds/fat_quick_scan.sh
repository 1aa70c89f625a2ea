#!/usr/bin/env bash
# Input: a flag byte (bit 0 FAT32, bit 1: the next 36 bytes are the boot
# parameter fields), then the volume from its second sector, 256 KiB in
# all. Seeds: the start of each FAT volume with its own boot fields, and
# the small one also under the target's own boot sector.
set -euo pipefail
pool=$1 out=$2
for volume in fat12-small:2 fat12:2 fat16:2 fat32:3; do
  image="$pool/volumes/${volume%:*}.img"
  [ -f "$image" ] || continue
  { printf "\\x0${volume#*:}"; dd if="$image" bs=1 skip=11 count=36 status=none
    dd if="$image" bs=512 skip=1 count=512 status=none; } > "$out/${volume%:*}-own-boot"
done
small="$pool/volumes/fat12-small.img"
[ -f "$small" ] && { printf '\x00'; tail -c +513 "$small"; } > "$out/fat12-small-target-boot"
exit 0
