#!/usr/bin/env python3
"""Cuts the clusters of an exFAT volume that hold file entry sets.

Usage: exfat_directories.py VOLUME OUTPUT_PREFIX FIRST_BYTE
Writes OUTPUT_PREFIX-<cluster>: FIRST_BYTE (a Python escape such as '\\x00')
followed by the cluster's bytes.
"""
import struct
import sys


def starts_set(piece, slot):
    """A file entry followed by a stream extension and a name entry."""
    return (piece[slot] & 0x7F == 0x05 and piece[slot + 32] & 0x7F == 0x40 and
            piece[slot + 64] & 0x7F == 0x41)


volume, prefix, first = sys.argv[1], sys.argv[2], sys.argv[3].encode().decode("unicode_escape")
data = open(volume, "rb").read()
heap, count = struct.unpack_from("<II", data, 88)
sector = 1 << data[108]
cluster = sector << data[109]
for number in range(2, count + 2):
    at = heap * sector + (number - 2) * cluster
    piece = data[at:at + cluster]
    if len(piece) < cluster:
        break
    if any(starts_set(piece, slot) for slot in range(0, cluster - 96, 32)):
        with open("%s-%d" % (prefix, number), "wb") as f:
            f.write(first.encode("latin-1") + piece)
