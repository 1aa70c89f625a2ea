#pragma once
// The cylinder/head/sector view of a disk that partitioning tools align to.
// Only heads and sectors per track come from the device; its length always
// comes from its real size, so nothing past the last whole cylinder is lost.
#include <cstdint>
#include <string>

#include "platform/BlockDevices.h"

namespace salvora {

struct DiskGeometry {
  uint32_t bytesPerSector = 512;
  uint32_t sectorsPerTrack = 63;
  uint32_t tracksPerCylinder = 255;
  uint64_t totalSectors = 0;  // in bytesPerSector units
};

// Fills the geometry of a disk; heads and sectors per track fall back to
// 255 and 63 when the device does not report them (loop devices, or no
// permission to open it). False when the disk has no size.
bool ReadDiskGeometry(const WholeDisk& disk, DiskGeometry& out);

}  // namespace salvora
