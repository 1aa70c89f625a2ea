#pragma once
// An image of a whole disk listed as the disk list lists a disk: its
// partitions and the unallocated stretches between and after them, each a
// PartitionRecord whose disk number opens the image (see ImageDisks.h), so
// a front end shows the image as a disk with its rows and scans a row as it
// scans a partition of a disk.
#include <string>
#include <vector>

#include "storage/PartitionRecord.h"

namespace salvora {

// The entries of an image whose first sector holds an MBR or GPT, in start
// order and numbered 1, 2, ... (the N of "disk.img@N"). False, with no
// entries, for an image of a single volume or one without a partition table.
bool ListImageEntries(const std::string& imagePath, std::vector<PartitionRecord>& entries);

// Whether the first 16 KiB of a disk or image hold a file system of their
// own (a volume rather than a partitioned disk). Also true when they cannot
// be read in full: engine selection then explains why.
bool StartsWithVolume(const std::string& path);

}  // namespace salvora
