#!/usr/bin/env python3
"""Writes OUT: the JPEG MAIN with an EXIF block (APP1) after its start
marker that names a phone and carries THUMB as its thumbnail, the way
cameras store one.  Usage: exif_thumbnail.py MAIN THUMB OUT"""
import struct
import sys

main, thumb = (open(path, "rb").read() for path in sys.argv[1:3])
make, model = b"Phone\0", b"Card Bench\0"


def entry(tag, kind, count, value):
    return struct.pack("<HHI", tag, kind, count) + struct.pack("<I", value)


# TIFF header, IFD0 (make, model), IFD1 (the thumbnail), then the values.
ifd0_at = 8
ifd1_at = ifd0_at + 2 + 2 * 12 + 4
values_at = ifd1_at + 2 + 3 * 12 + 4
make_at, model_at = values_at, values_at + len(make)
thumb_at = model_at + len(model)
tiff = b"II*\0" + struct.pack("<I", ifd0_at)
tiff += struct.pack("<H", 2) + entry(0x010F, 2, len(make), make_at)
tiff += entry(0x0110, 2, len(model), model_at) + struct.pack("<I", ifd1_at)
tiff += struct.pack("<H", 3) + entry(0x0103, 3, 1, 6)
tiff += entry(0x0201, 4, 1, thumb_at) + entry(0x0202, 4, 1, len(thumb)) + struct.pack("<I", 0)
tiff += make + model + thumb
app1 = b"Exif\0\0" + tiff
if len(app1) + 2 > 0xFFFF:
    sys.exit("thumbnail too large for one EXIF block")
out = main[:2] + b"\xFF\xE1" + struct.pack(">H", len(app1) + 2) + app1 + main[2:]
open(sys.argv[3], "wb").write(out)
