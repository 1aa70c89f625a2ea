#!/usr/bin/env bash
# A phone's card as users bring it: an exFAT volume (mkfs.exfat, written
# through exfat-fuse) filled with what a phone records, made by real
# encoders: HEIC, AVIF, WebP, JPEGs carrying an EXIF thumbnail, MP4s of
# several brands, MOV, 3GP, M4V, M4A, WebM, FLAC, Opus and MP3 without a
# tag. Some files are deleted and a second batch written into their holes,
# so that the allocator splits it into several runs; some of those are
# deleted too; then the card is formatted again. Counts, for the deep scan
# of each salvora given and for PhotoRec without and with its brute-force
# mode: the files written that come back byte-exact (by content, whatever
# their name), of them the split ones, and the files recovered that match
# nothing written (noise); and the deep scan's rate.
#
# Usage: bench/phone_card.sh [SALVORA_BINARY...]   (root: exfat-fuse wants
# a loop device; CARD_MIB sets the card's size, default 256)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
SALVORAS=()
for binary in "${@:-$root/build-rel/salvora}"; do SALVORAS+=("$(realpath "$binary")"); done
for tool in mkfs.exfat mount.exfat-fuse losetup ffmpeg convert heif-enc avifenc cwebp flac \
  opusenc python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
WORK=$(mktemp -d /tmp/salvora-phone.XXXXXX)
[ -n "${KEEP_WORK:-}" ] || trap 'umount "$WORK/mnt" 2>/dev/null || true; rm -rf "$WORK"' EXIT
mkdir -p "$WORK"/{one,two,mnt,originals}
card_mib=${CARD_MIB:-256}

# One batch of phone files in folder $1, seeded by $2.
make_batch() {
  local out=$1 seed=$2 i
  (
    cd "$out"
    for i in 1 2 3; do
      convert -size $((900 + 97 * i))x$((700 + 53 * i)) -seed $((seed * 10 + i)) plasma: \
        -blur 0x1 "src$i.png"
    done
    heif-enc -q 60 -o "IMG_${seed}01.heic" src1.png >/dev/null
    avifenc -s 8 src2.png "IMG_${seed}02.avif" >/dev/null
    cwebp -quiet -q 80 src3.png -o "IMG_${seed}03.webp"
    for i in 1 2 3; do
      convert "src$i.png" -quality 90 "main$i.jpg"
      convert "src$i.png" -resize 160x120 -quality 80 "thumb$i.jpg"
      python3 "$root/bench/exif_thumbnail.py" "main$i.jpg" "thumb$i.jpg" "DSC_${seed}0$i.jpg"
    done
    local video=(-f lavfi -i "testsrc2=size=640x360:rate=30:duration=4"
      -f lavfi -i "sine=frequency=$((300 + seed * 40)):duration=4" -shortest -pix_fmt yuv420p)
    ffmpeg -v error "${video[@]}" -c:v libx264 -c:a aac "VID_${seed}01.mp4"
    ffmpeg -v error "${video[@]}" -c:v libx264 -c:a aac -brand mp41 "VID_${seed}02.mp4"
    ffmpeg -v error "${video[@]}" -c:v libx264 -c:a aac -brand mp42 -movflags +faststart \
      "VID_${seed}03.mp4"
    ffmpeg -v error "${video[@]}" -c:v libx265 -tag:v hvc1 -x265-params log-level=none \
      -c:a aac "VID_${seed}04.mov"
    ffmpeg -v error "${video[@]}" -s 352x288 -c:v libx264 -c:a aac -ar 16000 -ac 1 \
      -f 3gp "VID_${seed}05.3gp"
    ffmpeg -v error "${video[@]}" -c:v libx264 -c:a aac -brand 'M4V ' -f mp4 "VID_${seed}06.m4v"
    ffmpeg -v error "${video[@]}" -c:v libvpx -b:v 800k -c:a libopus "VID_${seed}07.webm"
    ffmpeg -v error -f lavfi -i "sine=frequency=$((500 + seed * 30)):duration=20" -ac 2 \
      tone.wav
    flac -s -5 tone.wav -o "REC_${seed}01.flac"
    opusenc --quiet tone.wav "REC_${seed}02.opus"
    ffmpeg -v error -i tone.wav -c:a aac -f ipod "REC_${seed}03.m4a"
    ffmpeg -v error -i tone.wav -c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0 \
      "REC_${seed}04.mp3"
    rm -f src*.png main*.jpg thumb*.jpg tone.wav
  )
}
make_batch "$WORK/one" 1
make_batch "$WORK/two" 2
cp "$WORK"/one/* "$WORK"/two/* "$WORK/originals/"

image="$WORK/card.img"
truncate -s "${card_mib}M" "$image"
mkfs.exfat -c 32K "$image" >/dev/null
loop=$(losetup -f --show "$image")
mount.exfat-fuse "$loop" "$WORK/mnt" >/dev/null 2>&1
mkdir -p "$WORK/mnt/DCIM/Camera" "$WORK/mnt/Music"
# Copies batch $1 into folder $2 of the card, then deletes every $3rd file.
write_then_delete() {
  local file n=0
  for file in "$1"/*; do cp "$file" "$WORK/mnt/$2/"; done
  sync
  for file in "$1"/*; do
    n=$((n + 1))
    [ $((n % $3)) -eq 0 ] && rm "$WORK/mnt/$2/$(basename "$file")"
  done
  sync
}
# The first batch, every third file deleted; the second written into the
# holes (split), half of it deleted again.
write_then_delete "$WORK/one" DCIM/Camera 3
write_then_delete "$WORK/two" Music 2
umount "$WORK/mnt"
sleep 1
losetup -d "$loop"
# Which files were written in several runs (from where their bytes lie).
python3 - "$image" "$WORK/originals" > "$WORK/placed.txt" <<'PY'
import hashlib, os, sys
image = open(sys.argv[1], "rb").read()
for name in sorted(os.listdir(sys.argv[2])):
    data = open(os.path.join(sys.argv[2], name), "rb").read()
    whole = image.find(data) >= 0
    head = image.find(data[:4096]) >= 0
    print(hashlib.sha256(data).hexdigest(), "whole" if whole else "split" if head else "gone", name)
PY
mkfs.exfat -c 32K "$image" >/dev/null
total=$(wc -l < "$WORK/placed.txt")
split=$(grep -c " split " "$WORK/placed.txt" || true)
gone=$(grep -c " gone " "$WORK/placed.txt" || true)
echo "card: ${card_mib} MiB exFAT, $total files written ($split split, $gone overwritten at their start), formatted"

# "<exact>/<total> byte-exact (<split> split), <noise> noise of <recovered> files"
count() {
  python3 - "$1" "$WORK/placed.txt" <<'PY'
import hashlib, os, sys
wanted = {}
for line in open(sys.argv[2]):
    digest, kind, name = line.split()
    wanted[digest] = (kind, name)
found, noise, recovered = set(), 0, 0
for folder, _, files in os.walk(sys.argv[1]):
    for name in files:
        if name.endswith((".txt", ".log")) and name.startswith(("report", "photorec")):
            continue
        recovered += 1
        digest = hashlib.sha256(open(os.path.join(folder, name), "rb").read()).hexdigest()
        if digest in wanted:
            found.add(digest)
        else:
            noise += 1
split = sum(wanted[d][0] == "split" for d in found)
missed = sorted(wanted[d][1] for d in wanted if d not in found)
print(f"{len(found)}/{len(wanted)} byte-exact ({split} split), {noise} noise of {recovered} files;"
      f" missed: {' '.join(missed)}")
PY
}

bytes=$(stat -c %s "$image")
for salvora in "${SALVORAS[@]}"; do
  rm -rf "$WORK/out" "$WORK/data"
  start=$(date +%s.%N)
  SALVORA_DATA_DIR="$WORK/data" "$salvora" recover --deep --to "$WORK/out" "$image" \
    >/dev/null 2>&1 || true
  seconds=$(python3 -c "import time; print(f'{time.time() - $start:.2f}')")
  rate=$(python3 -c "print(f'{$bytes / 1048576 / $seconds:.0f}')")
  echo "salvora deep: $(count "$WORK/out") (${seconds} s, ${rate} MiB/s) [$salvora]"
done
if command -v photorec >/dev/null; then
  for mode in "" ",paranoid_bf"; do
    rm -rf "$WORK"/recup*
    start=$(date +%s.%N)
    photorec /d "$WORK/recup" /cmd "$image" \
      "partition_none,options,keep_corrupted_file_no${mode},fileopt,everything,enable,search" \
      >/dev/null 2>&1 || true
    seconds=$(python3 -c "import time; print(f'{time.time() - $start:.2f}')")
    echo "PhotoRec${mode:+ brute force}: $(count "$WORK/recup.1") (${seconds} s)"
  done
fi
