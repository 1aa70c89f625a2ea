#!/usr/bin/env bash
# Camera-card recovery by name: the card the tests build
# (tests/exfat/make_exfat_fixture.py: photos and a video in DCIM, a deleted
# folder with a subfolder, a fragmented photo, files partly overwritten),
# once as left after the deletions and once formatted again afterwards.
# Counts the lost files (the deleted ones; after the format every file)
# that come back under their own name with their original bytes from
# `salvora recover --quick`, `salvora recover --deep` and, for comparison,
# The Sleuth Kit's `tsk_recover`. Needs root (exfat-fuse wants a loop device).
#
# Usage: bench/exfat_camera_card.sh [salvora binary] [cluster bytes]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
salvora=${1:-$repo/build-release/salvora}
cluster=${2:-32768}
for tool in mkfs.exfat mount.exfat-fuse losetup tsk_recover python3 "$salvora"; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/salvora-bench-card-XXXXXX)
trap 'rm -rf "$work"' EXIT
export SALVORA_DATA_DIR="$work/data"

# Prints "came back/lost" for one card: a lost file came back when a file of
# its name under OUT holds its original bytes.
count_by_name() {
  python3 - "$1" "$2" "$3" <<'PY'
import hashlib, os, sys
card, out, formatted = sys.argv[1], sys.argv[2], sys.argv[3] == "1"
got = set()
for folder, _, files in os.walk(out):
    for name in files:
        with open(os.path.join(folder, name), "rb") as f:
            got.add((name, hashlib.sha256(f.read()).hexdigest()))
lost = []
for line in open(os.path.join(card, "manifest.txt"), encoding="utf-8"):
    kind, rest = line.rstrip("\n").split(" ", 1)
    if kind == "deleted":
        lost.append(rest.split(" ", 1)[1])
    elif kind == "live" and formatted:
        lost.append(rest)
back = 0
for path in lost:
    with open(os.path.join(card, "originals", path.replace("/", "__")), "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    back += (os.path.basename(path), digest) in got
print(f"{back}/{len(lost)}")
PY
}

for state in deleted reformat; do
  card="$work/$state"
  mkdir -p "$card"
  python3 "$repo/tests/exfat/make_exfat_fixture.py" "$card" "$cluster" \
    $([ "$state" = reformat ] && echo reformat) >/dev/null
  formatted=$([ "$state" = reformat ] && echo 1 || echo 0)
  # Exit code 1 (some files could not be copied whole) is expected here.
  "$salvora" recover --quick --keep-paths --to "$card/quick" "$card/card.img" >/dev/null 2>&1 || true
  "$salvora" recover --deep --fresh --keep-paths --to "$card/deep" "$card/card.img" \
    >/dev/null 2>&1 || true
  tsk_recover "$card/card.img" "$card/tsk" >/dev/null 2>&1 || true
  echo "card $state, ${cluster}-byte clusters: by name with their bytes:" \
    "quick $(count_by_name "$card" "$card/quick" "$formatted")," \
    "deep $(count_by_name "$card" "$card/deep" "$formatted")," \
    "tsk_recover $(count_by_name "$card" "$card/tsk" "$formatted")"
done
