#!/usr/bin/env bash
# Quick-scan speed on an NTFS volume of 50,000 files, half of them deleted,
# next to The Sleuth Kit's `fls -rd` and ntfs-3g's `ntfsundelete --scan` on
# the same image. Needs root (the volume is written through an ntfs-3g FUSE
# mount). Usage: bench/ntfs_quick_scan.sh [path/to/salvora...] (several
# binaries, say before and after a change, run on the same volume)
# Best of three warm runs each; prints the times and the ratios. The files
# hold random bytes, so their names avoid picture types, whose listings
# leave out files that fail the content check.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
binaries=("${@:-$root/build-release/salvora}")
files=${FILES:-50000}
for salvora in "${binaries[@]}"; do
  [ -x "$salvora" ] || { echo "no salvora at $salvora (build it in Release first)" >&2; exit 2; }
done
for tool in mkntfs ntfs-3g fls ntfsundelete python3; do
  command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/deps.sh)" >&2; exit 2; }
done

work=$(mktemp -d)
cleanup() {
  mountpoint -q "$work/mnt" && umount "$work/mnt"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/mnt" "$work/data"
export SALVORA_DATA_DIR=$work/data

truncate -s 512M "$work/vol.img"
mkntfs -F -Q -q "$work/vol.img" > /dev/null 2>&1
ntfs-3g "$work/vol.img" "$work/mnt"
python3 - "$work/mnt" "$files" <<'PY'
import os, random, sys
mnt, files = sys.argv[1], int(sys.argv[2])
rng = random.Random(1)
made = []
for i in range(files):
    folder = os.path.join(mnt, "d%03d" % (i // 1000), "s%02d" % (i // 100 % 10))
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "f%05d.%s" % (i, rng.choice(["txt", "log", "bin", "dat"])))
    with open(path, "wb") as f:
        f.write(rng.randbytes(rng.choice([200, 3000, 9000])))
    made.append(path)
for path in made[::2]:
    os.remove(path)
PY
umount "$work/mnt"
sync

best_of_three() {
  local best=""
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" > "$work/out.txt" 2> /dev/null || true
    end=$(date +%s.%N)
    best=$(echo "$start $end ${best:-999999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$best"
}

fls_time=$(best_of_three fls -rd "$work/vol.img")
fls_found=$(grep -c . "$work/out.txt" || true)
undelete=$(best_of_three ntfsundelete --scan "$work/vol.img")

printf 'files on the volume: %d, deleted: %d\n' "$files" $((files / 2))
printf '%-28s %8.3f s  (%s lines)\n' "fls -rd" "$fls_time" "$fls_found"
printf '%-28s %8.3f s\n' "ntfsundelete --scan" "$undelete"
for salvora in "${binaries[@]}"; do
  ours=$(best_of_three "$salvora" scan --quick "$work/vol.img")
  ours_found=$(grep -c . "$work/out.txt" || true)
  printf '%-28s %8.3f s  (%s lines)  [%s]\n' "salvora scan --quick" "$ours" "$ours_found" "$salvora"
  awk -v a="$ours" -v b="$fls_time" -v c="$undelete" \
    'BEGIN { printf "ratio salvora/fls: %.2f  salvora/ntfsundelete: %.2f\n", a / b, a / c }'
done
