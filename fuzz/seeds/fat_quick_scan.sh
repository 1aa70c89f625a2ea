#!/usr/bin/env bash
# Input: a flag byte (bit 0 FAT32, bit 1: the next 36 bytes are the boot
# parameter fields), then the volume from its second sector. Seeds: the
# small FAT12 volume with its own boot fields, and with the target's.
set -euo pipefail
pool=$1 out=$2
volume="$pool/volumes/fat12-small.img"
[ -f "$volume" ] || exit 0
{ printf '\x02'; dd if="$volume" bs=1 skip=11 count=36 status=none; tail -c +513 "$volume"; } \
  > "$out/fat12-own-boot"
{ printf '\x00'; tail -c +513 "$volume"; } > "$out/fat12-target-boot"
