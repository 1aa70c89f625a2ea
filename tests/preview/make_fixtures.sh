#!/usr/bin/env bash
# Makes the preview fixtures with real encoders into $1: pictures by
# ImageMagick, documents and a PDF by LibreOffice (headless), archives by
# zip, 7z and tar. Every file holds known content that the tests look for.
# Writes $1/.complete last; callers serialise runs with flock.
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# Pictures: 173 x 91 in every format Qt's readers and the plugins handle.
for ext in jpg png gif bmp tif webp; do
  convert -size 173x91 gradient:navy-orange "picture.$ext"
done
convert -size 3000x2000 plasma:fractal -quality 95 large.jpg
# A PNG whose header claims 60000 x 60000 pixels.
python3 - <<'PY'
import struct, zlib
png = open("picture.png", "rb").read()
ihdr = bytearray(png[16:29])
ihdr[0:8] = struct.pack(">II", 60000, 60000)
crc = struct.pack(">I", zlib.crc32(b"IHDR" + ihdr) & 0xffffffff)
open("huge.png", "wb").write(png[:16] + ihdr + crc + png[33:])
PY

# Documents. The letter is longer than a preview shows.
{
  echo "Salvora letter alpha"
  echo "Second paragraph bravo"
  for i in $(seq 1 200); do echo "Filler line $i of the letter, long enough to pass the limit."; done
} > letter.txt
python3 - <<'PY'
import csv
with open("sheet.csv", "w", newline="") as f:
    writer = csv.writer(f)
    for row in range(14):
        writer.writerow(["r%dc%d" % (row, column) for column in range(13)])
slides = "".join(
    '<draw:page draw:name="p%d"><draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" svg:height="3cm">'
    '<draw:text-box><text:p>Slide %d echo</text:p></draw:text-box></draw:frame></draw:page>' % (n, n)
    for n in range(1, 23))
open("deck.fodp", "w").write(
    '<?xml version="1.0" encoding="UTF-8"?>'
    '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
    'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
    'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
    'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
    'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">'
    '<office:body><office:presentation>' + slides + '</office:presentation></office:body></office:document>')
PY
# A profile of our own: a user's or another test's running office suite
# must not lock it.
office() { soffice "-env:UserInstallation=file://$out/office-profile" --headless "$@" >/dev/null 2>&1; }
for ext in docx odt doc rtf pdf; do office --convert-to "$ext" letter.txt; done
for ext in xlsx ods xls; do office --convert-to "$ext" --infilter=CSV:44,34,76,1 sheet.csv; done
for ext in pptx odp ppt; do office --convert-to "$ext" deck.fodp; done
rm -rf office-profile

# Archives with known member names.
mkdir -p tree/docs
echo "first member" > tree/alpha.txt
echo "second member" > tree/docs/bravo.txt
head -c 20000 /dev/urandom > tree/charlie.bin
zip -qr archive.zip tree
cp archive.zip archive.jar
7z a -bd -bso0 archive.7z tree
tar czf archive.tar.gz tree
tar cjf archive.tar.bz2 tree
tar cJf archive.tar.xz tree
rm -rf tree

# Zip bombs: far more members than a listing shows; and a tar.gz whose
# members inflate to hundreds of megabytes.
python3 - <<'PY'
import tarfile, zipfile
with zipfile.ZipFile("many.zip", "w") as archive:
    for n in range(30000):
        archive.writestr("m%05d.txt" % n, b"")

class Zeros:
    def read(self, size=-1):
        return bytes(size if size >= 0 else 0)
with tarfile.open("inflating.tar.gz", "w:gz", compresslevel=1) as archive:
    for n in range(3):
        info = tarfile.TarInfo("zeros%d.bin" % n)
        info.size = 120 << 20
        archive.addfile(info, Zeros())
PY
touch .complete
