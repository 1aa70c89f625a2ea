#!/usr/bin/env bash
# Input: a flag byte (bit 0: the input starts at the FAT and may rewrite
# every structure; else it continues the root after its bitmap and up-case
# entries), then the bytes. Seeds: the real exFAT volume's folder slots
# after the root's own entries, and its FAT onwards.
set -euo pipefail
pool=$1 out=$2
volume="$pool/volumes/exfat.img"
[ -f "$volume" ] || exit 0
{ printf '\x00'; python3 "$(dirname "$0")/exfat-slots.py" "$volume" | tail -c +97; } \
  > "$out/root-slots"
fat=$(python3 -c 'import struct,sys; v=open(sys.argv[1],"rb").read(512); print(struct.unpack_from("<I",v,80)[0] << v[108])' "$volume")
{ printf '\x01'; dd if="$volume" bs=512 skip=$((fat / 512)) count=488 status=none; } > "$out/from-fat"
