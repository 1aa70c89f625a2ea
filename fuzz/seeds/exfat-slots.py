#!/usr/bin/env python3
"""Prints the directory slots of an exFAT volume's root and of the folders
it names, cluster after cluster, for the seeds of the exFAT targets.

Usage: exfat-slots.py VOLUME > SLOTS
"""
import struct
import sys

with open(sys.argv[1], "rb") as f:
    volume = f.read()
sector = 1 << volume[108]
cluster = sector << volume[109]
fat_offset, = struct.unpack_from("<I", volume, 80)
heap, = struct.unpack_from("<I", volume, 88)
root, = struct.unpack_from("<I", volume, 96)


def cluster_bytes(number):
    start = heap * sector + (number - 2) * cluster
    return volume[start:start + cluster]


def next_cluster(number):
    entry, = struct.unpack_from("<I", volume, fat_offset * sector + 4 * number)
    return entry if 2 <= entry < 0xFFFFFFF7 else 0


folders, seen, out = [root], set(), bytearray()
while folders and len(out) < 1 << 16:
    number = folders.pop(0)
    while number and number not in seen:
        seen.add(number)
        data = cluster_bytes(number)
        out += data
        for at in range(0, len(data) - 64, 32):
            # A directory's file entry (attribute bit 4) and its stream entry.
            if data[at] & 0x7F == 0x05 and data[at + 4] & 0x10 and data[at + 32] & 0x7F == 0x40:
                folders.append(struct.unpack_from("<I", data, at + 32 + 20)[0])
        number = next_cluster(number)
sys.stdout.buffer.write(bytes(out))
