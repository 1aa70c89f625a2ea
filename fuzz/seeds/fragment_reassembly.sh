#!/usr/bin/env bash
# Input: a small disk. Seeds: the real JPEG, PNG, ZIP, office package,
# movies (movie box first and last) and PDF whole, and each split in two
# runs with zeros or noise between them, and a JPEG split around another
# picture.
set -euo pipefail
pool=$1 out=$2
split() {
  local name=$1 file=$2 cut=$3 gap=$4
  { head -c "$cut" "$file"; cat "$gap"; tail -c +"$((cut + 1))" "$file"; } | head -c 262144 > "$out/$name"
}
head -c 4096 /dev/zero > "$out/.zeros"
head -c 4096 /dev/urandom > "$out/.noise"
for file in "$pool"/files/{photo.jpg,picture.png,archive.zip,letter.docx,movie.mp4,fast.mp4,clip.mov,report.pdf}; do
  [ -f "$file" ] || continue
  base=$(basename "$file")
  head -c 262144 "$file" > "$out/$base"
  split "zeros-$base" "$file" 4096 "$out/.zeros"
  split "noise-$base" "$file" 2048 "$out/.noise"
done
if [ -f "$pool/files/photo.jpg" ] && [ -f "$pool/files/picture.png" ]; then
  split "mixed-photo.jpg" "$pool/files/photo.jpg" 4096 "$pool/files/picture.png"
fi
rm -f "$out/.zeros" "$out/.noise"
