#!/usr/bin/env bash
# Makes one small file of each format a phone or camera of today writes,
# with the real encoders, into the folder given as $1: HEIF, AVIF and WebP
# pictures, FLAC and Opus audio, an MP3 without any tag, MP4 files of
# several brands and a WAVE recording written as a stream (its sizes
# unset). Deterministic inputs throughout; its own intermediate files are
# named so that they never meet those of the other fixture scripts.
set -euo pipefail
cd "$1"
export SOURCE_DATE_EPOCH=1700000000
bitexact=(-fflags +bitexact -flags +bitexact)

convert -size 160x120 -seed 5 plasma:green-purple modern-source.png
heif-enc -q 60 -o photo.heic modern-source.png > /dev/null
avifenc -s 8 modern-source.png photo.avif > /dev/null
cwebp -quiet -q 70 modern-source.png -o photo.webp

ffmpeg -y -v error -f lavfi -i sine=frequency=440:duration=2 -ac 1 -ar 22050 "${bitexact[@]}" \
  modern-tone.wav
flac -s -f --no-seektable -o tone.flac modern-tone.wav
opusenc --quiet modern-tone.wav voice.opus
ffmpeg -y -v error -i modern-tone.wav -c:a libmp3lame -b:a 64k -write_xing 0 -id3v2_version 0 \
  -write_id3v1 0 "${bitexact[@]}" -f mp3 bare.mp3
ffmpeg -y -v error -i modern-tone.wav "${bitexact[@]}" -f wav pipe:1 > streamed.wav

video=(-f lavfi -i testsrc=size=128x96:rate=10:duration=1)
ffmpeg -y -v error "${video[@]}" -i modern-tone.wav -shortest "${bitexact[@]}" -brand mp41 clip41.mp4
ffmpeg -y -v error "${video[@]}" -i modern-tone.wav -shortest "${bitexact[@]}" -brand avc1 clipavc.mp4
ffmpeg -y -v error "${video[@]}" -i modern-tone.wav -shortest "${bitexact[@]}" -brand 'M4V ' -f mp4 clip.m4v
ffmpeg -y -v error "${video[@]}" -i modern-tone.wav -shortest -c:a aac "${bitexact[@]}" -f 3g2 clip.3g2
ffmpeg -y -v error -i modern-tone.wav -c:a aac "${bitexact[@]}" -f ipod song.m4a
rm modern-source.png modern-tone.wav
