#!/usr/bin/env bash
# Input: one byte choosing the reader (0 OOXML text, 1 OpenDocument text,
# 2 OpenDocument slides, 3 OOXML worksheet, 4 OpenDocument table, 5 CSV),
# then the part's XML. Seeds: the XML parts of the pool's office files, each
# behind the byte of the reader that reads it.
set -euo pipefail
pool=$1 out=$2
python3 - "$pool/files" "$out" <<'PY'
import glob, os, sys, zipfile
files, out = sys.argv[1], sys.argv[2]
readers = {"word/document.xml": 0, "ppt/slides/slide1.xml": 0, "xl/worksheets/sheet1.xml": 3,
           "xl/sharedStrings.xml": 3}
for path in glob.glob(os.path.join(files, "*")):
    if not zipfile.is_zipfile(path):
        continue
    with zipfile.ZipFile(path) as package:
        names = package.namelist()
        for name in names:
            selector = readers.get(name)
            if name == "content.xml":
                kind = package.read("mimetype").decode(errors="replace") if "mimetype" in names else ""
                selector = 4 if "spreadsheet" in kind else 2 if "presentation" in kind else 1
            if selector is None:
                continue
            seed = os.path.join(out, os.path.basename(path) + "-" + name.replace("/", "_"))
            with open(seed, "wb") as target:
                target.write(bytes([selector]) + package.read(name)[:65536])
PY
