#pragma once
// How the volumes found on each disk become the complete disk list: in
// sectors, with the unallocated stretches between and after them, a
// whole-disk entry for every disk without volumes, and one running number
// across all disks. Pure, so that odd layouts can be tested without devices.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "platform/DiskGeometry.h"
#include "storage/PartitionRecord.h"

namespace salvora {

using DiskMap = std::map<uint32_t, std::vector<PartitionRecord>>;

struct DiskShape {
  uint32_t diskNumber = 0;
  std::string devicePath;
  std::optional<DiskGeometry> geometry;  // empty when the disk could not be measured
};

// What a disk without a measurable geometry inherits from the disk before
// it, so that gaps between its volumes are still found.
struct LayoutCarry {
  uint32_t bytesPerSector = 512;
  uint64_t sectorsPerCylinder = 16065;
};

// Converts one disk's volumes (sorted by start, positions in bytes) to
// sectors and appends an unallocated entry for every gap, and for the tail,
// larger than one cylinder.
void PlaceUnallocated(std::vector<PartitionRecord>& volumes, uint32_t diskNumber,
                      const std::string& diskPath, const std::optional<DiskGeometry>& geometry,
                      LayoutCarry& carry);

// The single entry of a disk that carries no volume.
PartitionRecord WholeDiskEntry(uint32_t diskNumber, const std::string& diskPath,
                               const DiskGeometry& geometry);

// Runs the whole arrangement over every disk: sort, place, add whole-disk
// entries for listed disks without volumes, sort again, number.
void ArrangeDisks(DiskMap& disks, const std::vector<DiskShape>& shapes);

}  // namespace salvora
