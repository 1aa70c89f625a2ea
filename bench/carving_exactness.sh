#!/usr/bin/env bash
# How many carved files come back byte-exact: real files from real encoders
# (both fixture sets of the carving tests), three copies of each laid at
# sector boundaries of a raw image with noise after each file and runs of
# noise between them, deep-scanned by salvora and carved by PhotoRec from
# the same image. A file counts when the file recovered at its start sector
# has the original's SHA-256.
#
# Usage: bench/carving_exactness.sh [SALVORA_BINARY]  (needs the fixture
# encoders of tests/carving and, for the reference count, PhotoRec)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
SALVORA=$(realpath "${1:-$root/build-rel/salvora}")
WORK=$(mktemp -d /tmp/salvora-exactness.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/files"
bash "$root/tests/carving/make_real_files.sh" "$WORK/files" >/dev/null 2>&1
bash "$root/tests/carving/make_structured_files.sh" "$WORK/files" >/dev/null 2>&1

# Lays the files and writes "sector sha256 name" for each into placed.txt.
python3 - "$WORK/files" "$WORK/raw.img" "$WORK/placed.txt" <<'PY'
import hashlib, os, random, sys
folder, image, listing = sys.argv[1:4]
rng = random.Random(20261207)
names = sorted(os.listdir(folder))
with open(image, "wb") as out, open(listing, "w") as placed:
    out.write(rng.randbytes(64 * 512))
    for copy in range(3):
        for name in names:
            data = open(os.path.join(folder, name), "rb").read()
            sector = out.tell() // 512
            out.write(data)
            out.write(rng.randbytes((-len(data)) % 512))
            out.write(rng.randbytes(512 * rng.randrange(0, 4)))
            placed.write(f"{sector} {hashlib.sha256(data).hexdigest()} {name}\n")
    out.write(rng.randbytes(64 * 512))
PY
total=$(wc -l < "$WORK/placed.txt")

# Counts the placed files whose recovered copy (named after its start
# sector: salvora "<sector>.ext", PhotoRec "f<zero-padded sector>[_name].ext")
# is byte-exact.
count_exact() {
  local folder=$1 prefix=$2 exact=0
  while read -r sector hash name; do
    for file in $(find "$folder" -type f -regextype egrep \
                    -regex ".*/${prefix}0*${sector}(_[^/]*)?\.[^/]*" 2>/dev/null); do
      if [ "$(sha256sum < "$file" | cut -d' ' -f1)" = "$hash" ]; then
        exact=$((exact + 1))
        break
      fi
    done
  done < "$WORK/placed.txt"
  echo "$exact"
}

SALVORA_DATA_DIR="$WORK/data" "$SALVORA" recover --deep --to "$WORK/salvora" "$WORK/raw.img" \
  >/dev/null 2>&1 || true
echo "salvora: $(count_exact "$WORK/salvora" "") of $total files byte-exact"
if command -v photorec >/dev/null; then
  photorec /d "$WORK/recup" /cmd "$WORK/raw.img" partition_none,fileopt,everything,enable,search \
    >/dev/null 2>&1 || true
  echo "PhotoRec: $(count_exact "$WORK/recup.1" "f") of $total files byte-exact"
fi
