#!/usr/bin/env python3
"""Builds a small NTFS image with mkntfs and writes it through ntfs-3g.

Usage: make_ntfs_fixture.py WORKDIR

Leaves in WORKDIR: vol.img, originals/<name> (copies of every file before it
was deleted), manifest.txt with lines "live <record> <path>",
"deleted <path>" and "reused <old record> <new record>", and free.txt with
the free bytes the mounted volume reported.
"""
import os
import random
import subprocess
import sys

work = sys.argv[1]
image = os.path.join(work, "vol.img")
mnt = os.path.join(work, "mnt")
originals = os.path.join(work, "originals")
os.makedirs(mnt, exist_ok=True)
os.makedirs(originals, exist_ok=True)
manifest = []


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def payload(size, seed, text=False):
    rng = random.Random(seed)
    if text:
        words = [b"alpha ", b"beta ", b"gamma ", b"delta\n"]
        out = bytearray()
        while len(out) < size:
            out += rng.choice(words)
        return bytes(out[:size])
    return rng.randbytes(size)


def write(rel, data):
    path = os.path.join(mnt, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def keep(rel):
    with open(os.path.join(mnt, rel), "rb") as f:
        data = f.read()
    flat = rel.replace("/", "__")
    with open(os.path.join(originals, flat), "wb") as f:
        f.write(data)


def delete(rel):
    keep(rel)
    os.remove(os.path.join(mnt, rel))
    manifest.append("deleted " + rel)


def fill_volume(rel):
    """Writes until the volume is full, in large and then in small pieces."""
    fd = os.open(os.path.join(mnt, rel), os.O_WRONLY | os.O_CREAT)
    try:
        for piece in (1 << 20, 4096):
            try:
                while True:
                    os.write(fd, bytes(piece))
            except OSError:
                pass
    finally:
        os.close(fd)


def fragment_two_files(*files):
    """Leaves only one-cluster holes free and writes the files into them.

    Spare records are freed just before, so that the extension records that
    long run lists need do not have to grow a full MFT.
    """
    for i in range(20):
        write("spare/s%02d" % i, b"")
    for i in range(2000):
        write("holes/h%03d" % i, payload(4096, 1000 + i))
    fill_volume("fill.bin")
    for i in range(1, 2000, 2):
        os.remove(os.path.join(mnt, "holes/h%03d" % i))
    subprocess.run(["rm", "-r", os.path.join(mnt, "spare")], check=True)
    for rel, clusters, seed in files:
        fd = os.open(os.path.join(mnt, rel), os.O_WRONLY | os.O_CREAT)
        for i in range(clusters):
            os.write(fd, payload(4096, seed + i))
        os.close(fd)
    os.remove(os.path.join(mnt, "fill.bin"))


def mount():
    run("ntfs-3g", image, mnt)


def unmount():
    run("umount", mnt)


with open(image, "wb") as f:
    f.truncate(96 << 20)
run("mkntfs", "-F", "-Q", "-q", "-s", "512", "-c", "4096", image)
mount()
try:
    # First, so that its folder holds the lowest record freed later on.
    write("gone/orphan.bin", payload(20000, 1))
    gone_record = os.stat(os.path.join(mnt, "gone")).st_ino

    write("docs/readme.txt", payload(120, 2, text=True))
    write("docs/2024/q1/deep/tiny1.txt", payload(40, 3, text=True))
    write("docs/2024/q1/deep/tiny2.txt", payload(700, 4, text=True))
    write("docs/2024/q1/report.bin", payload(3 << 20, 5))
    write("docs/2024/notes.txt", payload(9000, 6, text=True))
    write("docs/big.bin", payload(6 << 20, 7))
    write("docs/keep/live.bin", payload(2 << 20, 8))

    fragment_two_files(("frag.bin", 400, 100), ("fragkeep.bin", 500, 1000))

    with open(os.path.join(mnt, "sparse.bin"), "wb") as f:
        f.write(payload(5000, 9))
        f.seek(3 << 20)
        f.write(payload(7000, 10))
    os.makedirs(os.path.join(mnt, "packed"))
    os.setxattr(os.path.join(mnt, "packed"), "system.ntfs_attrib_be", (0x800).to_bytes(4, "big"))
    write("packed/words.txt", payload(300000, 11, text=True))
    write("packed/keep.txt", payload(150000, 12, text=True))

    for rel in ("docs/readme.txt", "docs/keep/live.bin", "fragkeep.bin", "packed/keep.txt"):
        keep(rel)
        manifest.append("live %d %s" % (os.stat(os.path.join(mnt, rel)).st_ino, rel))

    for rel in ("docs/2024/q1/deep/tiny1.txt", "docs/big.bin", "frag.bin", "sparse.bin",
                "packed/words.txt"):
        delete(rel)
    for rel in ("docs/2024/q1/deep/tiny2.txt", "docs/2024/q1/report.bin", "docs/2024/notes.txt"):
        keep(rel)
        manifest.append("deleted " + rel)
    subprocess.run(["rm", "-r", os.path.join(mnt, "docs/2024")], check=True)
    delete("gone/orphan.bin")
    os.rmdir(os.path.join(mnt, "gone"))
finally:
    unmount()

# A fresh mount hands out the lowest free record: the deleted folder's.
mount()
try:
    write("newcomer.txt", payload(100, 13, text=True))
    new_record = os.stat(os.path.join(mnt, "newcomer.txt")).st_ino
    manifest.append("reused %d %d" % (gone_record, new_record))
    st = os.statvfs(mnt)
    with open(os.path.join(work, "free.txt"), "w") as f:
        f.write("%d\n" % (st.f_bfree * st.f_frsize))
finally:
    unmount()

with open(os.path.join(work, "manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
