#pragma once
// Which physical disks really hold a file: through partitions, FUSE file
// systems, device-mapper (LVM, LUKS) and md stacks, and loop devices backed
// by files. Nothing the program writes for itself (scan data, previews,
// resume state, recovered files, images) may land on the disks it reads.
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Mounts.h"

namespace salvora {

// What a place or a source rests on.
struct StorageStack {
  // Every block device met, as major:minor packed by makedev: partitions,
  // device-mapper and md devices, loop devices and the whole disks.
  std::set<uint64_t> devices;
  // Kernel names of the whole disks met ("sdb", "loop3", "md0").
  std::set<std::string> disks;
  // Files behind loop devices met, as (st_dev, st_ino).
  std::set<std::pair<uint64_t, uint64_t>> files;
};

// The file system that holds `path` (or its nearest existing parent), down
// to the whole disks, following a loop device's backing file to the disks
// under it. Empty when the file system has no block device (tmpfs, network).
StorageStack StackUnderPath(const std::string& path);

// What a source rests on: a disk or partition node gives its whole disk and
// every disk below it; a loop device, and an image file, give the file that
// holds the data. Writing beside an image cannot change it, so the disk
// under an image file is not part of the source.
StorageStack StackOfSource(const std::string& source);

// True when writing under `path` could land on the blocks `source` reads:
// they share a whole disk, or the path is on a loop device backed by the
// image or loop file being read.
bool PlaceTouchesSource(const std::string& path, const std::string& source);
// The same against several sources at once; `which` gets the first one hit.
bool PlaceTouchesSources(const std::string& path, const std::vector<std::string>& sources,
                         std::string* which = nullptr);

// The mounted file systems that read from `source`: the source device
// itself, a partition of a whole-disk source, anything stacked on it, or a
// loop device on an image file source.
std::vector<MountEntry> MountsUsingSource(const std::string& source);
// Flushes each of them (syncfs) so that the source's structures read as
// they are stored, and returns them: empty when the source is not in use.
std::vector<MountEntry> FlushMountsUsingSource(const std::string& source);

}  // namespace salvora
