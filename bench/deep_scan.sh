#!/usr/bin/env bash
# Deep scan speed on cached images: a 2 GiB image of real files of every
# carvable kind with noise between them, a 512 MiB image of zeros and one of
# random bytes. For each: MB/s of `salvora scan --deep`, of `cat IMAGE >
# /dev/null` and (mixed image) of PhotoRec carving every file type, each the
# median of three runs, with the CPU seconds beside them (the machine may be
# shared), and the deep scan's peak memory, which must not grow with the
# image.
#
# Usage: bench/deep_scan.sh [SALVORA_BINARY...]   (Release builds are best;
# several binaries, say before and after a change, run on the same images)
# Needs python3, /usr/bin/time, PhotoRec (testdisk) and the encoders of
# tests/carving/make_real_files.sh plus ffmpeg, ImageMagick, gzip, sqlite3.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
SALVORAS=()
for binary in "${@:-build-rel/salvora}"; do SALVORAS+=("$(realpath "$binary")"); done
MIXED_MIB=${MIXED_MIB:-2048}
PLAIN_MIB=${PLAIN_MIB:-512}
WORK=$(mktemp -d /tmp/salvora-deep-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# One real file of each kind the carving engine measures.
make_files() {
  mkdir files
  bash "$root/tests/carving/make_real_files.sh" "$WORK/files" > /dev/null
  cd files
  local video="testsrc=size=128x96:rate=25:duration=2" tone="sine=frequency=500:duration=2"
  for kind in mp4 mov mkv flv ts mpg asf m2ts; do
    ffmpeg -v error -f lavfi -i "$video" -f lavfi -i "$tone" -shortest -fflags +bitexact \
      "clip.$kind"
  done
  ffmpeg -v error -f lavfi -i "$video" -f lavfi -i "$tone:sample_rate=48000" -shortest \
    -fflags +bitexact clip.mxf
  ffmpeg -v error -f lavfi -i "$video" -f lavfi -i "$tone" -shortest -c:a aac \
    -fflags +bitexact clip.3gp
  convert -size 120x90 gradient:red-blue tiff:image.tif
  convert -size 120x90 gradient:red-blue psd:image.psd
  head -c 30000 /usr/share/common-licenses/GPL-3 | gzip -9n > text.gz
  sqlite3 data.db 'create table t(a,b); insert into t values(1,"x");'
  cd "$WORK"
}

# IMAGE of SIZE MiB: the files in turn, each at a sector boundary after up
# to 1 MiB of noise.
make_mixed() {
  python3 - "$1" files "$2" <<'PY'
import os, random, sys
size, folder, path = int(sys.argv[1]) << 20, sys.argv[2], sys.argv[3]
rng = random.Random(20261207)
files = [open(os.path.join(folder, n), "rb").read() for n in sorted(os.listdir(folder))]
with open(path, "wb") as out:
    at = placed = 0
    while True:
        gap = rng.randrange(0, 1 << 20) // 512 * 512
        data = files[placed % len(files)]
        padded = data + rng.randbytes(-len(data) % 512)
        if at + gap + len(padded) > size:
            break
        out.write(rng.randbytes(gap) + padded)
        at += gap + len(padded)
        placed += 1
    out.write(rng.randbytes(size - at))
print(f"{placed} files of {len(files)} kinds", file=sys.stderr)
PY
}

# Runs a command three times on a cached image; prints the median wall
# seconds, the CPU seconds of that run and its peak memory in KiB.
median_of_three() {
  local runs=()
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %U %S %M" -o time.txt "$@" > /dev/null 2>&1 || true
    runs+=("$(tail -1 time.txt)")
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p |
    awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}'
}

rate() { python3 -c "print(f'{$1 / 1048576 / max($2, 1e-9):.0f}')"; }

# Prints the figures of every binary on IMAGE, next to cat's and (mixed
# image) PhotoRec's.
bench() {
  local name=$1 image=$2 bytes
  bytes=$(stat -c %s "$image")
  cat "$image" > /dev/null
  read -r cat_s cat_cpu _ < <(median_of_three cat "$image")
  printf '%-6s cat      %5s MB/s (%s s, CPU %s s)\n' "$name" "$(rate "$bytes" "$cat_s")" \
    "$cat_s" "$cat_cpu"
  local rec_s=""
  if [ "$name" = mixed ] && command -v photorec > /dev/null; then
    # Each run starts without the files of the one before (their removal
    # is timed with it, a small part).
    read -r rec_s rec_cpu _ < <(median_of_three sh -c "rm -rf $WORK/recup*; exec photorec \
      /d $WORK/recup /cmd $image partition_none,fileopt,everything,enable,search")
    printf '%-6s PhotoRec %5s MB/s (%s s, CPU %s s)\n' "$name" "$(rate "$bytes" "$rec_s")" \
      "$rec_s" "$rec_cpu"
    rm -rf "$WORK"/recup*
  fi
  for salvora in "${SALVORAS[@]}"; do
    read -r deep_s deep_cpu peak < <(median_of_three env SALVORA_DATA_DIR="$WORK/data" \
      "$salvora" scan --deep --fresh "$image")
    printf '%-6s salvora  %5s MB/s (%s s, CPU %s s, peak %s KiB), %s of cat' "$name" \
      "$(rate "$bytes" "$deep_s")" "$deep_s" "$deep_cpu" "$peak" \
      "$(python3 -c "print(f'{$cat_s / $deep_s:.2f}')")"
    [ -z "$rec_s" ] || printf ', %s times PhotoRec' "$(python3 -c "print(f'{$rec_s / $deep_s:.1f}')")"
    printf '  [%s]\n' "$salvora"
  done
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
make_files
make_mixed "$MIXED_MIB" mixed.img
bench mixed mixed.img
rm -f mixed.img
head -c $((PLAIN_MIB << 20)) /dev/zero > zeros.img
bench zeros zeros.img
rm -f zeros.img
head -c $((PLAIN_MIB << 20)) /dev/urandom > random.img
bench random random.img
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
