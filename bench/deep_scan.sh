#!/usr/bin/env bash
# Deep scan speed on a cached image of noise with real pictures sprinkled
# in: MB/s of `salvora scan --deep`, its ratio to `cat IMAGE > /dev/null`,
# PhotoRec carving the same image in the same run, and the peak memory of
# the deep scan at 1 GiB and 2 GiB (it must not grow with the image).
#
# Usage: bench/deep_scan.sh [SALVORA_BINARY]   (a Release build is best)
# Needs python3, ImageMagick, /usr/bin/time and PhotoRec (testdisk).
set -euo pipefail
SALVORA=${1:-build-rel/salvora}
SALVORA=$(realpath "$SALVORA")
WORK=$(mktemp -d /tmp/salvora-deep-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

convert -size 640x480 -seed 3 plasma:red-blue -quality 85 photo.jpg
convert -size 400x300 gradient:yellow-green -seed 2 +noise Uniform picture.png

# IMAGE of SIZE MiB: deterministic noise, a picture every 64 MiB at a
# sector boundary.
make_image() {
  python3 - "$1" "$2" <<'PY'
import random, sys
size_mib, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(20261207)
pictures = [open("photo.jpg", "rb").read(), open("picture.png", "rb").read()]
with open(path, "wb") as out:
    for piece in range(size_mib // 64):
        block = bytearray(rng.randbytes(64 << 20))
        picture = pictures[piece % 2]
        at = (rng.randrange(0, (64 << 20) - len(picture)) // 512) * 512
        block[at:at + len(picture)] = picture
        out.write(block)
PY
}

seconds() { date +%s.%N; }
rate() { python3 -c "print(f'{$1 / 1048576 / max($2, 1e-9):.0f}')"; }

# Deep-scans IMAGE; prints "seconds peak_kib files".
deep_scan() {
  local data="$WORK/data-$RANDOM"
  local start end
  start=$(seconds)
  SALVORA_DATA_DIR="$data" /usr/bin/time -v -o time.txt "$SALVORA" scan --deep "$1" \
    > list.txt 2> /dev/null
  end=$(seconds)
  rm -rf "$data"
  local peak
  peak=$(awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}' time.txt)
  echo "$(python3 -c "print($end - $start)") $peak $(grep -c . list.txt)"
}

for size in 1024 2048; do
  image="noise-$size.img"
  make_image "$size" "$image"
  bytes=$(stat -c %s "$image")
  cat "$image" > /dev/null
  cat "$image" > /dev/null
  start=$(seconds)
  cat "$image" > /dev/null
  end=$(seconds)
  cat_seconds=$(python3 -c "print($end - $start)")
  read -r deep_seconds peak lines < <(deep_scan "$image")
  deep_rate=$(rate "$bytes" "$deep_seconds")
  cat_rate=$(rate "$bytes" "$cat_seconds")
  echo "image $((size / 1024)) GiB: cat ${cat_rate} MB/s; salvora scan --deep ${deep_rate} MB/s" \
       "(ratio $(python3 -c "print(f'{$cat_seconds / $deep_seconds:.2f}')") of cat)," \
       "peak memory ${peak} KiB, $((lines - 2)) listing lines"
  if [ "$size" = 2048 ] && command -v photorec > /dev/null; then
    start=$(seconds)
    photorec /d "$WORK/recup" /cmd "$image" partition_none,fileopt,everything,enable,search \
      > /dev/null 2>&1 || true
    end=$(seconds)
    photorec_seconds=$(python3 -c "print($end - $start)")
    echo "image 2 GiB: PhotoRec $(rate "$bytes" "$photorec_seconds") MB/s;" \
         "salvora is $(python3 -c "print(f'{$photorec_seconds / $deep_seconds:.1f}')") times as fast"
    rm -rf "$WORK"/recup*
  fi
  rm -f "$image"
done
