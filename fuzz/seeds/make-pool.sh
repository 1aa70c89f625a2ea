#!/usr/bin/env bash
# Makes the pool that every fuzz target's seeds are cut from, with the real
# tools: FAT12/16/32, NTFS, exFAT and ext4 volumes holding folders, long
# names, live and deleted files; the MFT records of the NTFS volumes one per
# file; real files of every carved format; and the store files of real
# scans. Usage: make-pool.sh POOL [SALVORA]. Pieces whose tools or rights
# are missing here are left out, saying so.
set -euo pipefail
pool=$1
salvora=${2:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$pool"/{volumes,files,mft,relations}
pool=$(cd "$pool" && pwd)
export MTOOLS_SKIP_CHECK=1
note() { echo "seed pool: $*" >&2; }

bash "$root/tests/carving/make_real_files.sh" "$pool/files" || note "some real files are missing"
# Files whose length only their structure tells: the structure walks start
# from them.
bash "$root/tests/carving/make_structured_files.sh" "$pool/files" ||
  note "some structured files are missing"
# Today's phone and camera formats, and the stored RAR 5 archives.
bash "$root/tests/carving/make_modern_files.sh" "$pool/files" || note "some modern files are missing"
cp "$root"/tests/carving/data/*.rar "$pool/files/" || note "the RAR 5 archives are missing"
printf 'Seed text for the volumes.\n%.0s' $(seq 1 300) > "$pool/files/notes.txt"

# A FAT volume made by mkfs.fat and filled by mtools: folders, a long name,
# files of several clusters, deleted files and a deleted folder tree.
fat_volume() {
  local image=$1 bits=$2 kib=$3
  rm -f "$image"
  mkfs.fat -C -F "$bits" -n SEEDS "$image" "$kib" >/dev/null
  mmd -i "$image" ::/Photos ::/Photos/Holiday ::/Docs ::/Old
  local f
  for f in photo.jpg picture.png report.pdf notes.txt; do
    [ -f "$pool/files/$f" ] && mcopy -i "$image" "$pool/files/$f" ::/Photos/Holiday/ 2>/dev/null || true
  done
  for f in archive.zip letter.docx tone.wav; do
    [ -f "$pool/files/$f" ] && mcopy -i "$image" "$pool/files/$f" ::/Docs/ 2>/dev/null || true
  done
  [ -f "$pool/files/notes.txt" ] && mcopy -i "$image" "$pool/files/notes.txt" "::/Docs/A rather long file name.txt"
  [ -f "$pool/files/anim.gif" ] && mcopy -i "$image" "$pool/files/anim.gif" ::/Old/ 2>/dev/null || true
  mdel -i "$image" ::/Photos/Holiday/picture.png ::/Docs/archive.zip 2>/dev/null || true
  mdeltree -i "$image" ::/Old 2>/dev/null || true
}
if command -v mkfs.fat >/dev/null && command -v mcopy >/dev/null; then
  fat_volume "$pool/volumes/fat12-small.img" 12 256
  fat_volume "$pool/volumes/fat12.img" 12 1440
  fat_volume "$pool/volumes/fat16.img" 16 16384
  fat_volume "$pool/volumes/fat32.img" 32 34000
else
  note "mkfs.fat and mtools are missing: no FAT volumes"
fi

# NTFS: a small volume written with ntfscp (no mount needed), with the
# cluster size the NTFS fuzz image uses, and, where ntfs-3g can mount, the
# test suite's volume with fragmented, sparse, compressed and deleted files.
if command -v mkntfs >/dev/null && command -v ntfscp >/dev/null; then
  small="$pool/volumes/ntfs-small.img"
  rm -f "$small" && truncate -s 8M "$small"
  mkntfs -F -Q -q -s 512 -c 2048 "$small"
  for f in photo.jpg report.pdf notes.txt archive.zip; do
    [ -f "$pool/files/$f" ] && ntfscp -f "$small" "$pool/files/$f" "$f" >/dev/null 2>&1 || true
  done
  if [ "$(id -u)" = 0 ] && [ -e /dev/fuse ] && command -v ntfs-3g >/dev/null; then
    mkdir -p "$pool/ntfs-rich"
    if python3 "$root/tests/ntfs/make_ntfs_fixture.py" "$pool/ntfs-rich" >/dev/null 2>&1; then
      mv "$pool/ntfs-rich/vol.img" "$pool/volumes/ntfs-rich.img"
    else
      note "ntfs-3g could not build the rich NTFS volume"
    fi
    rm -rf "$pool/ntfs-rich"
  else
    note "mounting NTFS needs root and FUSE: no volume with deleted files"
  fi
else
  note "mkntfs and ntfscp are missing: no NTFS volumes"
fi

# exFAT and ext4, empty but real, for the volume classifier and the exFAT
# engine; with files where the kernel can mount them.
if command -v mkfs.exfat >/dev/null; then
  exfat="$pool/volumes/exfat.img"
  rm -f "$exfat" && truncate -s 8M "$exfat"
  mkfs.exfat -L SEEDS "$exfat" >/dev/null
  if [ "$(id -u)" = 0 ]; then
    mnt=$(mktemp -d)
    # The kernel's driver, else exfat-fuse, which wants a block device.
    loop=""
    if mount -o loop -t exfat "$exfat" "$mnt" 2>/dev/null ||
      { command -v mount.exfat-fuse >/dev/null && loop=$(losetup -f --show "$exfat") &&
        mount.exfat-fuse "$loop" "$mnt" 2>/dev/null; }; then
      mkdir -p "$mnt/Photos/Holiday"
      cp "$pool/files/"{photo.jpg,picture.png,notes.txt} "$mnt/Photos/Holiday/" 2>/dev/null || true
      cp "$pool/files/report.pdf" "$mnt/A rather long file name.pdf" 2>/dev/null || true
      rm -f "$mnt/Photos/Holiday/picture.png"
      umount "$mnt"
    else
      note "exFAT could not be mounted: an empty exFAT volume"
    fi
    [ -n "$loop" ] && losetup -d "$loop"
    rmdir "$mnt"
  fi
fi
# ext volumes with folders, live and deleted files: written through the
# kernel where it can mount them (so that the journal holds the history),
# else by debugfs on the unmounted image.
ext_volume() {
  local image=$1 kib=$2
  shift 2
  rm -f "$image" && truncate -s "${kib}K" "$image"
  "$@" -q -F "$image" >/dev/null
  local mnt
  mnt=$(mktemp -d)
  if [ "$(id -u)" = 0 ] && mount -o loop "$image" "$mnt" 2>/dev/null; then
    mkdir -p "$mnt/Docs/Old" "$mnt/Photos"
    cp "$pool/files/"{photo.jpg,notes.txt} "$mnt/Photos/" 2>/dev/null || true
    cp "$pool/files/report.pdf" "$mnt/Docs/A rather long file name.pdf" 2>/dev/null || true
    cp "$pool/files/notes.txt" "$mnt/Docs/Old/old notes.txt" 2>/dev/null || true
    sync
    rm -rf "$mnt/Docs/Old" "$mnt/Photos/photo.jpg"
    umount "$mnt"
  elif command -v debugfs >/dev/null; then
    debugfs -w -f - "$image" >/dev/null 2>&1 <<CMDS || true
mkdir Docs
mkdir Photos
write $pool/files/photo.jpg Photos/photo.jpg
write $pool/files/notes.txt Photos/notes.txt
write $pool/files/notes.txt Docs/notes.txt
rm Photos/photo.jpg
CMDS
  fi
  rmdir "$mnt"
}
if command -v mkfs.ext4 >/dev/null; then
  ext_volume "$pool/volumes/ext4.img" 4096 mkfs.ext4
  ext_volume "$pool/volumes/ext4-small.img" 2048 mkfs.ext4 -b 1024
  ext_volume "$pool/volumes/ext3-small.img" 2048 mkfs.ext3 -b 1024
  ext_volume "$pool/volumes/ext2-small.img" 1024 mkfs.ext2 -b 1024
fi

# Each NTFS volume's first MFT records, one file per record.
python3 - "$pool" <<'PY'
import os, struct, sys
pool = sys.argv[1]
for name in sorted(os.listdir(os.path.join(pool, "volumes"))):
    if not name.startswith("ntfs"):
        continue
    with open(os.path.join(pool, "volumes", name), "rb") as f:
        boot = f.read(512)
        sector = struct.unpack_from("<H", boot, 0x0B)[0] or 512
        cluster = sector * boot[0x0D]
        mft = struct.unpack_from("<Q", boot, 0x30)[0] * cluster
        record = 1024 if sector == 512 else sector
        f.seek(mft)
        for number in range(160):
            data = f.read(record)
            if data[:4] != b"FILE":
                continue
            out = os.path.join(pool, "mft", "%s-%03d" % (name[:-4], number))
            with open(out, "wb") as o:
                o.write(data)
PY

# Store files of real scans, for the readers of saved results.
if [ -n "$salvora" ] && [ -x "$salvora" ]; then
  for image in "$pool"/volumes/fat12.img "$pool"/volumes/ntfs-small.img; do
    [ -f "$image" ] || continue
    data=$(mktemp -d)
    SALVORA_DATA_DIR="$data" "$salvora" scan --keep-results "$image" >/dev/null 2>&1 || true
    SALVORA_DATA_DIR="$data" "$salvora" scan --deep "$image" >/dev/null 2>&1 || true
    find "$data" -name '*_Relation' -size +0 | while read -r f; do
      cp "$f" "$pool/relations/$(basename "$image" .img)-$(basename "$f")"
    done
    rm -rf "$data"
  done
fi
