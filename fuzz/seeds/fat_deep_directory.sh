#!/usr/bin/env bash
# Input: a flag byte whose bit (i mod 8) sends sector i to the directory-
# start handler instead of the entry handler, then the sectors. Seeds: the
# start of each FAT volume, with the bits of the sectors that begin a
# subdirectory set, and with every sector sent either way.
set -euo pipefail
pool=$1 out=$2
for volume in "$pool"/volumes/fat12-small.img "$pool"/volumes/fat12.img "$pool"/volumes/fat16.img; do
  [ -f "$volume" ] || continue
  python3 - "$volume" "$out/$(basename "$volume" .img)" <<'PY'
import sys
volume, out = sys.argv[1], sys.argv[2]
data = open(volume, "rb").read(96 * 1024)
starts = 0
for i in range(len(data) // 512):
    if data[i * 512:i * 512 + 2] == b". " and data[i * 512 + 32:i * 512 + 34] == b"..":
        starts |= 1 << (i % 8)
for name, flags in (("-starts", starts), ("-entries", 0), ("-all-starts", 0xFF)):
    open(out + name, "wb").write(bytes([flags]) + data)
PY
done
