#pragma once
// Rows of the disk list as the command line prints them: `salvora disks`
// for the disks, `salvora info` for an image of a disk.
#include "storage/PartitionRecord.h"

namespace salvora {

const char* EntryKindName(EntryKind kind);
// One entry: its @N, where it lies, label, type, size, use and mount point.
void PrintDiskRow(const PartitionRecord& record);

}  // namespace salvora
