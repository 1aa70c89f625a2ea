#!/usr/bin/env bash
# Input: a whole archive. Seeds: the real archives of the pool, and a tar
# compressed three ways made here from the pool's files.
set -euo pipefail
pool=$1 out=$2
for archive in "$pool"/files/*.{zip,7z,cab,docx,odt}; do
  if [ -f "$archive" ]; then cp "$archive" "$out/"; fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$pool"/files/notes.txt "$work/" 2>/dev/null || echo seed > "$work/notes.txt"
tar -C "$work" -czf "$out/seed.tar.gz" notes.txt
tar -C "$work" -cjf "$out/seed.tar.bz2" notes.txt
tar -C "$work" -cJf "$out/seed.tar.xz" notes.txt
