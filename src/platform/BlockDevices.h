#pragma once
// Whole disks and partitions as the kernel lists them in sysfs. Disk numbers
// are those of DiskNumbering: a disk keeps its number for the life of the
// process while it stays attached, whatever else is plugged in or out.
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

struct WholeDisk {
  uint32_t number = 0;      // disk number
  std::string name;         // kernel name, "sdb"
  std::string devicePath;   // "/dev/sdb"
  uint32_t major = 0, minor = 0;
  uint64_t sequence = 0;    // the kernel's media sequence number, 0 where it has none
};

struct PartitionLocation {
  uint32_t diskNumber = 0;
  int partitionNumber = 0;
  uint64_t firstSector = 0;  // in the disk's logical sectors
  uint64_t sectorCount = 0;
  std::string diskPath;      // "/dev/sdb"
};

// sd*, nvme*n*, mmcblk*, vd*, xvd*, hd* and loop devices with a backing file.
std::vector<WholeDisk> ListWholeDisks();

// The device node of a disk number; false when there is no such disk.
bool DiskDevicePath(uint32_t diskNumber, std::string& path);

// The disk number of a whole-disk node ("/dev/sdb"); false for anything else.
bool DiskNumberOfNode(const std::string& nodePath, uint32_t& diskNumber);

// Where a partition node ("/dev/sdb1") lies on its disk; false when the node
// is not a partition of a listed disk.
bool LocatePartition(const std::string& nodePath, PartitionLocation& out);

// Reads one line of a sysfs attribute; empty when missing.
std::string ReadSysfsText(const std::string& path);

}  // namespace salvora
