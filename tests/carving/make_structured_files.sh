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
# Without a rendering intent the encoder writes the V4 header, not the V5.
convert -size 53x41 gradient:blue-white -alpha set -channel A -evaluate set 40% \
  -intent Undefined BMP:alphav4.bmp
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
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=2 -c:v libvpx -b:v 100k \
  -cluster_time_limit 500 -f webm - > recorded.webm
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v flv flash.flv
$FF -f lavfi -i testsrc=size=96x64:rate=10:duration=1 -c:v mpeg2video -f vob program.mpg
$FF -f lavfi -i sine=frequency=700:duration=1 -c:a libvorbis sound.ogg
# Audio whose frames are followed by an APE tag and an ID3v1 tag, in the
# order taggers leave them; the encoder writes the ID3v1 tag, the APE tag
# (version 2, with header and footer) is set in front of it.
$FF -f lavfi -i sine=frequency=800:duration=2 -ac 1 -ar 22050 -c:a libmp3lame -b:a 32k \
  -write_id3v1 1 -id3v2_version 3 -metadata title=Tagged tagged.mp3
"$PY" - <<'PYEOF'
import struct
audio = open("tagged.mp3", "rb").read()
frames, id3v1 = audio[:-128], audio[-128:]
items = b""
for key, value in ((b"Title", b"Tagged"), (b"Artist", b"Carving fixture")):
    items += struct.pack("<II", len(value), 0) + key + b"\x00" + value
def ape(flags):
    return b"APETAGEX" + struct.pack("<IIII", 2000, len(items) + 32, 2, flags) + bytes(8)
contains_header = 0x80000000
tag = ape(contains_header | 0x20000000) + items + ape(contains_header)
open("tagged.mp3", "wb").write(frames + tag + id3v1)
PYEOF
# A movie whose media box has the 64-bit size that large recordings carry:
# the encoder's placeholder box before it becomes the wider header, as the
# encoder itself does once media data passes 4 GiB.
"$PY" - <<'PYEOF'
import struct
movie = open("movie.mp4", "rb").read()
at = 0
while at < len(movie):
    size, kind = struct.unpack(">I4s", movie[at:at + 8])
    if kind == b"free" and size == 8 and movie[at + 12:at + 16] == b"mdat":
        media = struct.unpack(">I", movie[at + 8:at + 12])[0]
        wide = struct.pack(">I4sQ", 1, b"mdat", media + 8)
        open("wide.mp4", "wb").write(movie[:at] + wide + movie[at + 16:])
        break
    at += size
PYEOF
# A recording as browsers and live encoders write it: neither the segment
# nor any cluster states its size.
"$PY" - <<'PYEOF'
def vint(data, at):
    length = 1
    while not data[at] & (0x80 >> (length - 1)):
        length += 1
    value = data[at] & (0xFF >> length)
    for b in data[at + 1:at + length]:
        value = value << 8 | b
    return value, length
written = open("recorded.webm", "rb").read()
unknown = bytes([0x01]) + b"\xff" * 7
out = bytearray()
at = 0
while at < len(written):
    _, id_length = vint(written, at)
    size, size_length = vint(written, at + id_length)
    head = written[at:at + id_length]
    if head == b"\x18\x53\x80\x67":  # the segment: walk into it
        out += head + unknown
        at += id_length + size_length
        continue
    end = at + id_length + size_length + size
    if head == b"\x1f\x43\xb6\x75":
        out += head + unknown + written[at + id_length + size_length:end]
    else:
        out += written[at:end]
    at = end
open("recorded.webm", "wb").write(out)
PYEOF

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
# Streams appended to one another decode as one file.
head -c 9000 /usr/share/common-licenses/GPL-2 > more.txt
gzip -c -n text.txt > appended.gz && gzip -c -n more.txt >> appended.gz
xz -c text.txt > appended.xz && xz -c more.txt >> appended.xz
bzip2 -c text.txt > appended.bz2 && bzip2 -c more.txt >> appended.bz2
rm more.txt
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
cp progressive.jpg snapshot.jpg
touch -d @1700000000 snapshot.jpg text.txt
zip -X -q -0 stored.zip snapshot.jpg text.txt
rm text.txt snapshot.jpg
