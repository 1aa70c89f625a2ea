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
  convert -size $((200 * i))x$((150 * i)) gradient:navy-orange -quality 90 "$work/holiday$i.jpg"
  mcopy -i "$image" "$work/holiday$i.jpg" ::/Photos/2024/
done
printf 'Quarterly report\n%.0s' $(seq 1 400) > "$work/report.txt"
mcopy -i "$image" "$work/report.txt" ::/Documents/
head -c 70000 /dev/urandom > "$work/keep.bin"
mcopy -i "$image" "$work/keep.bin" ::/Documents/
ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=3 -b:a 64k "$work/song.mp3"
mcopy -i "$image" "$work/song.mp3" ::/Music/
mdel -i "$image" ::/Photos/2024/holiday2.jpg ::/Documents/report.txt
mdeltree -i "$image" ::/Music
