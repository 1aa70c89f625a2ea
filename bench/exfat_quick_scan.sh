#!/usr/bin/env bash
# Quick exFAT scan speed: a card with 50,000 small files in 2,500 folders,
# written through exfat-fuse, half of the files deleted once each folder is
# full (so that no new file takes a deleted entry's place), scanned by
# `salvora scan --quick` and, for comparison, listed by The Sleuth Kit's
# `fls -r` (and `fls -rd`, deleted entries only). Prints the median of
# three runs of each and the ratios. Needs root (exfat-fuse wants a loop device).
#
# Usage: bench/exfat_quick_scan.sh [salvora binary]
# Without an argument a Release build is made in build-release/.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/quick_scan_against_fls.sh"
salvora=$(release_salvora "${1:-}")
for tool in mkfs.exfat mount.exfat-fuse losetup fls python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/salvora-bench-exfat-XXXXXX)
image="$work/card.img"
loop=""
cleanup() {
  mountpoint -q "$work/mnt" && umount "$work/mnt"
  [ -n "$loop" ] && losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT

echo "building the card in $work ..." >&2
truncate -s 512M "$image"
mkfs.exfat -c 4096 -L BENCH "$image" >/dev/null
loop=$(losetup -f --show "$image")
mkdir "$work/mnt"
mount.exfat-fuse "$loop" "$work/mnt"
python3 - "$work/mnt" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(2026)
for top in range(50):
    for sub in range(50):
        folder = os.path.join(root, f"Folder {top:02d}", f"Sub folder {sub:02d}")
        os.makedirs(folder)
        names = [f"document {n:02d}.bin" if n % 3 else f"F{n:02d}.DAT" for n in range(20)]
        for name in names:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(rng.randbytes(rng.randint(200, 3000)))
        for name in names[1::2]:
            os.remove(os.path.join(folder, name))
PY
umount "$work/mnt"
losetup -d "$loop"
loop=""
echo "25000 of 50000 files deleted" >&2

export SALVORA_DATA_DIR="$work/data"
quick_scan_against_fls "$image"
