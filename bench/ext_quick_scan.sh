#!/usr/bin/env bash
# Quick ext4 scan speed: a volume made with Debian's defaults holding
# 50,000 small files in 2,500 folders, written through the kernel, half of
# the files deleted, scanned by `salvora scan --quick` and, for comparison,
# listed by The Sleuth Kit's `fls -r` (and `fls -rd`, deleted entries only).
# Prints the median of three runs of each and the ratios. Needs root (a
# loop mount).
#
# Usage: bench/ext_quick_scan.sh [salvora binary]
# Without an argument a Release build is made in build-release/.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/quick_scan_against_fls.sh"
salvora=$(release_salvora "${1:-}")
for tool in mkfs.ext4 fls python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/salvora-bench-ext-XXXXXX)
image="$work/volume.img"
cleanup() {
  mountpoint -q "$work/mnt" && umount "$work/mnt"
  rm -rf "$work"
}
trap cleanup EXIT

echo "building the volume in $work ..." >&2
truncate -s 1G "$image"
mkfs.ext4 -q -F "$image"
mkdir "$work/mnt"
mount -o loop "$image" "$work/mnt"
python3 - "$work/mnt" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(2026)
for top in range(50):
    for sub in range(50):
        folder = os.path.join(root, f"Folder {top:02d}", f"Sub folder {sub:02d}")
        os.makedirs(folder)
        names = [f"document {n:02d}.bin" for n in range(20)]
        for name in names:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(rng.randbytes(rng.randint(200, 3000)))
    os.sync()
    for sub in range(50):
        folder = os.path.join(root, f"Folder {top:02d}", f"Sub folder {sub:02d}")
        for n in range(1, 20, 2):
            os.remove(os.path.join(folder, f"document {n:02d}.bin"))
PY
umount "$work/mnt"
echo "25000 of 50000 files deleted" >&2

export SALVORA_DATA_DIR="$work/data"
quick_scan_against_fls "$image"
