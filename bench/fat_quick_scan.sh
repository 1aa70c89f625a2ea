#!/usr/bin/env bash
# Quick FAT scan speed: a FAT32 volume with 50,000 small files in 2,500
# folders, half of the files deleted, scanned by `salvora scan --quick` and,
# for comparison, listed by The Sleuth Kit's `fls -rd`. Prints the best of
# three runs of each and their ratio.
#
# Usage: bench/fat_quick_scan.sh [salvora binary]
# Without an argument a Release build is made in build-release/.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/quick_scan_against_fls.sh"
salvora=$(release_salvora "${1:-}")
for tool in mkfs.fat mcopy mdel fls python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/salvora-bench-fat-XXXXXX)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1
image="$work/fat32.img"

echo "building the volume in $work ..." >&2
python3 - "$work/tree" "$work/deleted.txt" <<'PY'
import os, random, sys
root, deleted_list = sys.argv[1], sys.argv[2]
rng = random.Random(2026)
deleted = []
for top in range(50):
    for sub in range(50):
        folder = os.path.join(root, f"Folder {top:02d}", f"Sub folder {sub:02d}")
        os.makedirs(folder)
        for n in range(20):
            name = f"document {n:02d}.bin" if n % 3 else f"F{n:02d}.DAT"
            with open(os.path.join(folder, name), "wb") as f:
                f.write(rng.randbytes(rng.randint(200, 3000)))
            if n % 2:
                deleted.append(f"::/Folder {top:02d}/Sub folder {sub:02d}/{name}")
with open(deleted_list, "w") as f:
    f.write("\n".join(deleted) + "\n")
PY
mkfs.fat -C -F 32 -s 1 "$image" 409600 >/dev/null
(cd "$work/tree" && mcopy -s -i "$image" ./* ::/)
tr '\n' '\0' <"$work/deleted.txt" | xargs -0 -n 2000 mdel -i "$image"
echo "$(wc -l <"$work/deleted.txt") of 50000 files deleted" >&2

export SALVORA_DATA_DIR="$work/data"
found=$("$salvora" scan --quick "$image" 2>/dev/null | grep -c '/' || true)
listed=$(fls -r -d -f fat32 "$image" | grep -c '^r/r \*' || true)
salvora_s=$(best_of_three "$salvora" scan --quick "$image")
fls_s=$(best_of_three fls -r -d -f fat32 "$image")
echo "salvora scan --quick: ${salvora_s}s (${found} deleted files listed)"
echo "fls -rd:              ${fls_s}s (${listed} deleted files listed)"
python3 -c "print(f'ratio salvora / fls: {$salvora_s / $fls_s:.2f}')"
