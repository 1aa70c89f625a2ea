#!/usr/bin/env bash
# Makes one small file of each exactly measurable format with the real
# encoders, into the folder given as $1. Deterministic inputs throughout.
set -euo pipefail
cd "$1"
export SOURCE_DATE_EPOCH=1700000000
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3

convert -size 320x240 -seed 3 plasma:red-blue -quality 85 photo.jpg
convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform picture.png
convert -size 160x120 -seed 4 plasma: -colors 64 anim.gif
convert -size 90x70 gradient:red-blue BMP3:paint.bmp
convert -size 48x48 gradient:blue-white icon.ico
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=1 -ac 1 -ar 8000 \
  -fflags +bitexact -flags +bitexact tone.wav
ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=5:duration=1 -c:v mjpeg \
  -fflags +bitexact -flags +bitexact clip.avi
ffmpeg -v error -f lavfi -i sine=frequency=330:duration=2 -ac 1 -ar 22050 -c:a libmp3lame \
  -b:a 32k -write_id3v1 1 -id3v2_version 3 -metadata title=Carve -fflags +bitexact song.mp3

cat > tune.abc <<'ABC'
X:1
T:Two voices
M:4/4
L:1/8
K:C
V:1
CDEF GABc|cBAG FEDC|EGce gecG|C8|CDEF GABc|cBAG FEDC|EGce gecG|C8|
V:2
C,4 G,4|C,4 G,4|C,4 E,4|C,8|C,4 G,4|C,4 G,4|C,4 E,4|C,8|
ABC
abc2midi tune.abc -o tune.mid >/dev/null

mkdir -p members/word/_rels members/_rels
head -c 6000 /usr/share/common-licenses/GPL-3 > members/notes.txt
seq 1 3000 > members/numbers.txt
touch -d @1700000000 members/notes.txt members/numbers.txt
(cd members && zip -X -q ../archive.zip notes.txt numbers.txt)
7z a -bd -mx=5 packed.7z members/notes.txt members/numbers.txt >/dev/null
gcab -c cabinet.cab members/notes.txt members/numbers.txt

cat > members/'[Content_Types].xml' <<'XML'
<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>
XML
cat > members/_rels/.rels <<'XML'
<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>
XML
{ printf '<?xml version="1.0" encoding="UTF-8"?><w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>'
  for i in $(seq 1 200); do printf '<w:p><w:r><w:t>Paragraph %d of the carved letter.</w:t></w:r></w:p>' "$i"; done
  printf '</w:body></w:document>'; } > members/word/document.xml
touch -d @1700000000 members/'[Content_Types].xml' members/_rels/.rels members/word/document.xml
(cd members && zip -X -q ../letter.docx '[Content_Types].xml' _rels/.rels word/document.xml)

"$PY" -m fontTools.subset /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf --text=ABCabc \
  --drop-tables+=FFTM --output-file=subset.ttf 2>/dev/null
"$PY" -c "from fontTools.ttLib import TTFont; TTFont('subset.ttf').save('font.ttf', reorderTables=True)"
rm subset.ttf

# A one-page PDF with a compressed content stream, written object by object
# with its cross-reference table.
"$PY" - <<'PYEOF'
import zlib
lines = "".join("BT /F1 10 Tf 40 %d Td (Line %d of the carved report) Tj ET\n" % (800 - 12 * i, i)
                for i in range(60))
stream = zlib.compress(lines.encode(), 9)
objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(stream) + stream + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
offsets = []
for i, body in enumerate(objs, 1):
    offsets.append(len(out))
    out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
for off in offsets:
    out += b"%010d 00000 n \n" % off
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
open("report.pdf", "wb").write(out)
PYEOF
rm -rf members tune.abc
