#!/usr/bin/env bash
# Input: a legacy PowerPoint file. Seeds: presentations LibreOffice writes
# now, when it is installed, and the pool's compound files.
set -euo pipefail
pool=$1 out=$2
for document in "$pool"/files/*.{ppt,doc,xls}; do
  if [ -f "$document" ]; then cp "$document" "$out/"; fi
done
command -v soffice >/dev/null || exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s' '<?xml version="1.0" encoding="UTF-8"?><office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation"><office:body><office:presentation><draw:page draw:name="p1"><draw:frame svg:x="2cm" svg:y="2cm" svg:width="20cm" svg:height="3cm"><draw:text-box><text:p>Seed slide</text:p></draw:text-box></draw:frame></draw:page></office:presentation></office:body></office:document>' > "$work/seed.fodp"
soffice "-env:UserInstallation=file://$work/profile" --headless --convert-to ppt --outdir "$out" "$work/seed.fodp" >/dev/null 2>&1 || true
