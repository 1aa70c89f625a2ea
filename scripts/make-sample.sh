#!/usr/bin/env bash
# Makes a small FAT32 image with folders, live files and deleted files, using
# mkfs.fat and mtools. Usage: scripts/make-sample.sh IMAGE
set -euo pipefail
image="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -f "$image"
mkfs.fat -C -F 32 -n SAMPLE "$image" 65536 >/dev/null
export MTOOLS_SKIP_CHECK=1
mmd -i "$image" ::/Photos ::/Photos/2024 ::/Documents ::/Music
for i in 1 2 3; do
  head -c $((20000 * i + 123)) /dev/urandom > "$work/holiday$i.jpg"
  printf '\xff\xd8\xff\xe0' | dd of="$work/holiday$i.jpg" conv=notrunc 2>/dev/null
  mcopy -i "$image" "$work/holiday$i.jpg" ::/Photos/2024/
done
printf 'Quarterly report\n%.0s' $(seq 1 400) > "$work/report.txt"
mcopy -i "$image" "$work/report.txt" ::/Documents/
head -c 70000 /dev/urandom > "$work/keep.bin"
mcopy -i "$image" "$work/keep.bin" ::/Documents/
head -c 150000 /dev/urandom > "$work/song.mp3"
mcopy -i "$image" "$work/song.mp3" ::/Music/
mdel -i "$image" ::/Photos/2024/holiday2.jpg ::/Documents/report.txt
mdeltree -i "$image" ::/Music
