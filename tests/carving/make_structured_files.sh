#!/usr/bin/env bash
# Makes files whose length only their own structure tells, with the real
# encoders, into the folder given as $1: pictures with embedded thumbnails
# and several scans, multi-strip TIFFs, audio without closing tags, movies
# in every box order, live Matroska, program streams, databases, fonts and
# compressed streams. Deterministic inputs throughout.
set -euo pipefail
cd "$1"
export SOURCE_DATE_EPOCH=1700000000
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
FF="ffmpeg -v error -y -fflags +bitexact -flags:v +bitexact -flags:a +bitexact"

# Pictures.
convert -size 320x240 -seed 3 plasma:red-blue -quality 85 main.jpg
convert -size 160x120 -seed 5 plasma:green-yellow -quality 70 thumb.jpg
convert -size 300x200 -seed 6 plasma: -interlace Plane -quality 80 progressive.jpg
convert -size 64x48 -delay 10 -seed 7 plasma: plasma: plasma: -loop 0 frames.gif
convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform picture.png
convert -size 61x47 gradient:red-blue -alpha set -channel A -evaluate set 60% BMP:alpha.bmp
convert -size 120x90 -seed 8 plasma: -compress lzw -define tiff:rows-per-strip=8 strips.tif
convert -size 100x70 -seed 9 plasma: -define tiff:endian=msb -compress none motorola.tif
convert -size 90x60 -seed 10 plasma: layered.psd
# A JPEG that carries an Exif block with a thumbnail (itself a complete
# JPEG, end marker and all), and one that starts with its tables.
"$PY" - <<'PYEOF'
import struct
main = open("main.jpg", "rb").read()
thumb = open("thumb.jpg", "rb").read()
def segments_after_app0(jpeg):
    at = 2
    if jpeg[at:at + 2] == b"\xff\xe0":
        at += 2 + struct.unpack(">H", jpeg[at + 2:at + 4])[0]
    return jpeg[at:]
# TIFF header, IFD0 with no entries pointing on to IFD1, which names the
# thumbnail by offset and length.
ifd1_at = 8 + 2 + 4
ifd1 = struct.pack("<H", 2)
thumb_at = ifd1_at + 2 + 2 * 12 + 4
ifd1 += struct.pack("<HHII", 0x201, 4, 1, thumb_at) + struct.pack("<HHII", 0x202, 4, 1, len(thumb))
ifd1 += struct.pack("<I", 0)
tiff = b"II*\x00" + struct.pack("<I", 8) + struct.pack("<H", 0) + struct.pack("<I", ifd1_at)
tiff += ifd1 + thumb
exif = b"Exif\x00\x00" + tiff
app1 = b"\xff\xe1" + struct.pack(">H", len(exif) + 2) + exif
open("exif.jpg", "wb").write(b"\xff\xd8" + app1 + segments_after_app0(main))
open("tables.jpg", "wb").write(b"\xff\xd8" + segments_after_app0(main))
PYEOF
rm main.jpg thumb.jpg

# Audio and video.
$FF -f lavfi -i sine=frequency=500:duration=2 -ac 1 -ar 22050 -c:a libmp3lame -b:a 32k \
  -write_id3v1 0 -id3v2_version 3 -metadata title=Untagged untagged.mp3
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -f lavfi -i sine=duration=1 \
  -c:v mpeg4 -c:a aac -shortest movie.mp4
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v mpeg4 -movflags +faststart fast.mp4
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v mpeg4 clip.mov
$FF -f lavfi -i sine=frequency=600:duration=1 -c:a aac voice.m4a
$FF -f lavfi -i testsrc=size=176x144:rate=10:duration=1 -c:v h263 phone.3gp
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v mpeg4 film.mkv
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v mpeg4 -f matroska - > live.mkv
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v libvpx -b:v 100k web.webm
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v flv flash.flv
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v mpeg2video -f vob program.mpg
$FF -f lavfi -i sine=frequency=700:duration=1 -c:a libvorbis sound.ogg

# Databases, fonts and compressed streams.
sqlite3 records.db "create table t(id integer primary key, note text);
  with recursive n(i) as (select 1 union all select i + 1 from n where i < 400)
  insert into t(note) select printf('record %d of the carved database', i) from n;"
"$PY" -m fontTools.subset /usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf --text=Carve \
  --output-file=subset.ttf 2>/dev/null
"$PY" -c "from fontTools.ttLib import TTFont; TTFont('subset.ttf').save('serif.ttf', reorderTables=True)"
rm subset.ttf
head -c 40000 /usr/share/common-licenses/GPL-3 > text.txt
gzip -c -n text.txt > plain.gz
gzip -c -9 text.txt > best.gz
xz -c text.txt > text.xz
bzip2 -c text.txt > text.bz2
# Archives: one written to a pipe (every member streamed with a data
# descriptor), and one that stores a picture as it is.
"$PY" - <<'PYEOF' | cat > streamed.zip
import sys, zipfile
with zipfile.ZipFile(sys.stdout.buffer, "w", zipfile.ZIP_DEFLATED) as archive:
    for name in ("text.txt", "picture.png"):
        info = zipfile.ZipInfo(name, date_time=(2023, 11, 14, 22, 13, 20))
        info.compress_type = zipfile.ZIP_DEFLATED
        with archive.open(info, "w") as member, open(name, "rb") as source:
            member.write(source.read())
PYEOF
cp progressive.jpg photo.jpg
touch -d @1700000000 photo.jpg text.txt
zip -X -q -0 stored.zip photo.jpg text.txt
rm text.txt photo.jpg
