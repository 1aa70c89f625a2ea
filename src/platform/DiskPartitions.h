#pragma once
// The partitions the kernel found on a whole disk, its size and sector size
// and how it is attached, all read from sysfs so that listing disks needs no
// permission to open them.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/BlockDevices.h"

namespace salvora {

struct PartitionNode {
  std::string name;        // kernel name, "sdb1"
  std::string devicePath;  // "/dev/sdb1"
  int partitionNumber = 0;
  uint64_t startBytes = 0;
  uint64_t lengthBytes = 0;
  uint32_t major = 0, minor = 0;
};

// Partitions of a disk in the order sysfs lists them.
std::vector<PartitionNode> ListPartitions(const WholeDisk& disk);

// Size in bytes and logical sector size of a disk as sysfs reports them.
uint64_t DiskSizeBytes(const WholeDisk& disk);
uint32_t DiskLogicalSectorSize(const WholeDisk& disk);

// Removable media, or a disk that hangs off a USB, SD or MMC bus.
bool IsRemovableDiskName(const std::string& diskName);

}  // namespace salvora
