#!/usr/bin/env python3
"""Builds a camera-card image with mkfs.exfat and writes it through exfat-fuse.

Usage: make_exfat_fixture.py WORKDIR CLUSTER_BYTES [reformat]

The card holds photos and a video in DCIM/100CAMERA, a folder with a long
non-ASCII name, a trip folder with a subfolder, and a fragmented photo
(written interleaved with a live one). Files are deleted one by one, the
trip folder as a whole, and a file written afterwards takes the clusters of
two deleted ones. With "reformat", mkfs.exfat formats the card again at the
end, as a camera's format does.

Leaves in WORKDIR: card.img; originals/<path with / as __>; manifest.txt
with lines "live <path>", "deleted <intact> <path>", where intact is 1
when every cluster-sized piece of the original is still on the card, and
"written <unix seconds> <path>" for a modification time set on purpose.
Needs root: exfat-fuse wants a block device, so the image goes through a
loop device.
"""
import os
import random
import subprocess
import sys
import time

work, cluster = sys.argv[1], int(sys.argv[2])
reformat = len(sys.argv) > 3 and sys.argv[3] == "reformat"
image = os.path.join(work, "card.img")
mnt = os.path.join(work, "mnt")
originals = os.path.join(work, "originals")
os.makedirs(mnt, exist_ok=True)
os.makedirs(originals, exist_ok=True)
manifest = []
deleted = []


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout.strip()


def photo(size, seed):
    """JPEG-like bytes: a JFIF header, so content checks take it for a photo."""
    head = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    return head + random.Random(seed).randbytes(size - len(head) - 2) + b"\xff\xd9"


def video(size, seed):
    head = b"\x00\x00\x00\x20ftypisom\x00\x00\x02\x00isomiso2avc1mp41"
    return head + random.Random(seed).randbytes(size - len(head))


def write(rel, data):
    path = os.path.join(mnt, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    keep(rel, data)


def keep(rel, data):
    with open(os.path.join(originals, rel.replace("/", "__")), "wb") as f:
        f.write(data)


def stamp(rel, seconds):
    os.utime(os.path.join(mnt, rel), (seconds, seconds))
    manifest.append("written %d %s" % (seconds, rel))


def delete(rel):
    os.remove(os.path.join(mnt, rel))
    deleted.append(rel)


def write_interleaved(first, second, pieces, seed):
    """Two files grown a cluster at a time in turn, so each is fragmented."""
    rng = random.Random(seed)
    data = {first: bytearray(photo(cluster, seed)), second: bytearray(photo(cluster, seed + 1))}
    handles = {rel: open(os.path.join(mnt, rel), "wb") for rel in data}
    for rel, f in handles.items():
        f.write(data[rel])
        f.flush()
        os.fsync(f.fileno())
    for _ in range(pieces):
        for rel, f in handles.items():
            piece = rng.randbytes(cluster)
            data[rel] += piece
            f.write(piece)
            f.flush()
            os.fsync(f.fileno())
    for rel, f in handles.items():
        f.close()
        keep(rel, bytes(data[rel]))


def build_card():
    camera = "DCIM/100CAMERA"
    write(camera + "/IMG_0001.JPG", photo(180_000, 1))
    write(camera + "/IMG_0002.JPG", photo(3 * cluster + 1000, 2))
    write(camera + "/MVI_0003.MP4", video(1_200_000, 3))
    write(camera + "/IMG_0004.JPG", photo(95_000, 4))
    # An odd second: exFAT keeps it only in the 10 ms part of the time.
    stamp(camera + "/IMG_0004.JPG", 1747474897)
    write(camera + "/IMG_0005.JPG", photo(250_000, 5))
    write("DCIM/Ünïcödé Ordner/Fotografía con un nombre muy largo ✓.jpg", photo(70_000, 6))
    write("DCIM/101TRIP/IMG_0101.JPG", photo(140_000, 7))
    write("DCIM/101TRIP/IMG_0102.JPG", photo(60_000, 8))
    write("DCIM/101TRIP/Notes of the trip/packing list for next year.txt", b"tent\n" * 3000)
    write_interleaved(camera + "/IMG_0006.JPG", camera + "/IMG_0007.JPG", 12, 9)
    write(camera + "/Empty clip.mp4", b"")
    delete(camera + "/IMG_0004.JPG")
    delete(camera + "/IMG_0006.JPG")
    delete(camera + "/Empty clip.mp4")
    delete("DCIM/Ünïcödé Ordner/Fotografía con un nombre muy largo ✓.jpg")
    for rel in ("IMG_0101.JPG", "IMG_0102.JPG", "Notes of the trip/packing list for next year.txt"):
        deleted.append("DCIM/101TRIP/" + rel)
    subprocess.run(["rm", "-r", os.path.join(mnt, "DCIM/101TRIP")], check=True)
    # The lowest free clusters go first: the new file takes all of
    # IMG_0002.JPG and the start of MVI_0003.MP4, whose entries stay.
    delete(camera + "/IMG_0002.JPG")
    delete(camera + "/MVI_0003.MP4")
    write("MISC/written after deleting.bin", random.Random(10).randbytes(5 * cluster))


def intact(rel, card):
    data = open(os.path.join(originals, rel.replace("/", "__")), "rb").read()
    return all(data[at:at + cluster] in card for at in range(0, len(data), cluster))


def wait_until_closed(device, seconds=30):
    """The FUSE daemon writes its last clusters after umount returns; the
    image is read only once no process holds the device any more."""
    device = os.path.realpath(device)
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not any(holds(pid, device) for pid in os.listdir("/proc") if pid.isdigit()):
            return
        time.sleep(0.05)


def holds(pid, device):
    try:
        fds = os.listdir(f"/proc/{pid}/fd")
    except OSError:
        return False
    for fd in fds:
        try:
            if os.path.realpath(f"/proc/{pid}/fd/{fd}") == device:
                return True
        except OSError:
            pass
    return False


run("truncate", "-s", "64M", image)
run("mkfs.exfat", "-c", str(cluster), "-L", "CAMERA", image)
loop = run("losetup", "-f", "--show", image)
try:
    # In a zone half an hour off the hour exfat-fuse writes local times
    # with their UTC offset, which a scan has to take off again.
    subprocess.run(["mount.exfat-fuse", loop, mnt], check=True, capture_output=True,
                   env=dict(os.environ, TZ="Asia/Kolkata"))
    try:
        build_card()
        live = sorted(set(os.path.relpath(os.path.join(d, f), mnt)
                          for d, _, files in os.walk(mnt) for f in files))
    finally:
        subprocess.run(["umount", mnt], check=False)
        wait_until_closed(loop)
finally:
    subprocess.run(["losetup", "-d", loop], check=False)
    os.sync()
if reformat:
    run("mkfs.exfat", "-c", str(cluster), "-L", "CAMERA", image)
card = open(image, "rb").read()
for rel in live:
    manifest.append("live " + rel)
for rel in deleted:
    manifest.append("deleted %d %s" % (intact(rel, card), rel))
with open(os.path.join(work, "manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
