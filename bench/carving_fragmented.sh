#!/usr/bin/env bash
# How many fragmented files come back byte-exact: pictures, archives, an
# office package, PDFs and a movie from real encoders, most split into two
# or three runs at cluster boundaries of a raw image, with zeros, noise or
# other files' data between the runs (a few left whole), deep-scanned by
# each salvora given and carved by PhotoRec from the same image. A file
# counts when the file recovered at its first sector has the original's
# SHA-256; damaged files (named "_damaged") count as not recovered.
# PhotoRec runs twice: as it comes, and with its brute-force mode.
#
# Usage: bench/carving_fragmented.sh [SALVORA_BINARY...]  (the encoders of
# tests/carving/make_real_files.sh, ffmpeg, LibreOffice and, for the
# reference, PhotoRec)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
SALVORAS=()
for binary in "${@:-$root/build-rel/salvora}"; do SALVORAS+=("$(realpath "$binary")"); done
WORK=$(mktemp -d /tmp/salvora-fragmented.XXXXXX)
[ -n "${KEEP_WORK:-}" ] || trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/files"
bash "$root/tests/carving/make_real_files.sh" "$WORK/files" >/dev/null 2>&1
cd "$WORK/files"
rm -f anim.gif paint.bmp icon.ico tone.wav clip.avi song.mp3 tune.mid packed.7z cabinet.cab font.ttf
for seed in 11 12 13 14; do
  convert -size $((400 + 60 * seed))x$((300 + 40 * seed)) -seed $seed plasma: -quality 88 "p$seed.jpg"
done
convert -size 700x500 -seed 15 plasma: -interlace JPEG -quality 90 p15.jpg
for seed in 21 22 23; do
  convert -size $((200 + 20 * seed))x180 -seed $seed plasma: +noise Gaussian "p$seed.png"
done
seq 1 40000 > numbers.txt
head -c 90000 /usr/share/common-licenses/GPL-3 > text.txt
zip -X -q big.zip numbers.txt text.txt p11.jpg
rm -f numbers.txt text.txt
ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=4 -pix_fmt yuv420p \
  -fflags +bitexact clip.mp4
# Movies with sound, the movie box first, and H.265; a PDF of many objects.
sound=(-f lavfi -i testsrc2=size=480x360:rate=25:duration=3 -f lavfi -i sine=duration=3 -shortest
  -pix_fmt yuv420p -fflags +bitexact -c:a aac)
ffmpeg -v error "${sound[@]}" -c:v libx264 -movflags +faststart fast.mp4
ffmpeg -v error "${sound[@]}" -c:v libx265 -tag:v hvc1 -x265-params log-level=none clip.mov
seq 1 3000 | sed 's/$/ lines of a long report/' > long.txt
HOME="$WORK" timeout 120 soffice --headless --convert-to pdf long.txt >/dev/null 2>&1 || true
rm -f long.txt
cp report.pdf report2.pdf
cd "$WORK"

python3 - "$WORK/files" "$WORK/raw.img" "$WORK/placed.txt" <<'PY'
import hashlib, os, random, sys
folder, image, listing = sys.argv[1:4]
rng = random.Random(20261208)
names = sorted(os.listdir(folder))
text = open("/usr/share/common-licenses/GPL-3", "rb").read()
cluster = 4096
def gap():
    kind = rng.choice(["zeros", "noise", "text"])
    n = rng.randrange(2, 60) * 512
    if kind == "zeros":
        return bytes(n)
    if kind == "noise":
        return rng.randbytes(n)
    start = rng.randrange(0, len(text) - n)
    return text[start:start + n]
def pad(b):
    return b + bytes(-len(b) % 512)
with open(image, "wb") as out, open(listing, "w") as placed:
    out.write(rng.randbytes(64 * 512))
    for copy in range(2):
        for name in names:
            data = open(os.path.join(folder, name), "rb").read()
            sector = out.tell() // 512
            runs = rng.choice([1, 2, 2, 3]) if len(data) > 3 * cluster else 1
            cuts = sorted(rng.sample(range(1, len(data) // cluster), runs - 1)) if runs > 1 else []
            at = 0
            for cut in cuts + [None]:
                end = len(data) if cut is None else cut * cluster
                out.write(pad(data[at:end]))
                if cut is not None:
                    out.write(pad(gap()))
                at = end
            out.write(rng.randbytes(512 * rng.randrange(0, 4)))
            placed.write(f"{sector} {hashlib.sha256(data).hexdigest()} {len(cuts) + 1} {name}\n")
    out.write(rng.randbytes(64 * 512))
PY
total=$(wc -l < "$WORK/placed.txt")
split=$(awk '$3 > 1' "$WORK/placed.txt" | wc -l)

# Counts the placed files whose recovered copy (salvora "<sector>.ext",
# PhotoRec "f<zero-padded sector>[_name].ext") is byte-exact, and of them
# those that were split.
count_exact() {
  local folder=$1 prefix=$2 exact=0 rebuilt=0 missed=""
  while read -r sector hash runs name; do
    missed="$missed $name($runs)"
    for file in $(find "$folder" -type f -regextype egrep \
                    -regex ".*/${prefix}0*${sector}(_[^/]*)?\.[^/]*" 2>/dev/null); do
      if [ "$(sha256sum < "$file" | cut -d' ' -f1)" = "$hash" ]; then
        exact=$((exact + 1))
        [ "$runs" -gt 1 ] && rebuilt=$((rebuilt + 1))
        missed=${missed% *}
        break
      fi
    done
  done < "$WORK/placed.txt"
  echo "$exact of $total files byte-exact, $rebuilt of the $split split ones; missed (runs):$missed"
}

for salvora in "${SALVORAS[@]}"; do
  rm -rf "$WORK/out" "$WORK/data"
  start=$(date +%s.%N)
  SALVORA_DATA_DIR="$WORK/data" "$salvora" recover --deep --to "$WORK/out" "$WORK/raw.img" \
    >/dev/null 2>&1 || true
  seconds=$(python3 -c "import time; print(f'{time.time() - $start:.1f}')")
  damaged=$(find "$WORK/out" -name '*_damaged.*' | wc -l)
  echo "salvora: $(count_exact "$WORK/out" "") ($damaged named damaged, ${seconds} s) [$salvora]"
done
if [ -z "${NO_PHOTOREC:-}" ] && command -v photorec >/dev/null; then
  for mode in "" ",paranoid_bf"; do
    rm -rf "$WORK"/recup*
    photorec /d "$WORK/recup" /cmd "$WORK/raw.img" \
      "partition_none,options,keep_corrupted_file_no${mode},fileopt,everything,enable,search" \
      >/dev/null 2>&1 || true
    echo "PhotoRec${mode:+ brute force}: $(count_exact "$WORK/recup.1" "f")"
  done
fi
