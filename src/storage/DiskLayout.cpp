#include "storage/DiskLayout.h"

#include <algorithm>

namespace salvora {
namespace {

// Partitioning tools of the cylinder era started the first volume one track
// in; a disk of unknown geometry is assumed to follow them.
constexpr int64_t kClassicFirstTrack = 63;

PartitionRecord FreeStretch(uint32_t diskNumber, const std::string& diskPath, int64_t start,
                            int64_t length, uint32_t bytesPerSector) {
  PartitionRecord entry;
  entry.kind = EntryKind::kUnallocated;
  entry.partitionType = 0;
  entry.diskNumber = static_cast<int32_t>(diskNumber);
  entry.partitionNumber = 0;
  entry.start = start;
  entry.length = length;
  entry.bytesPerSector = bytesPerSector;
  entry.totalBytes = entry.freeBytes = static_cast<uint64_t>(length) * bytesPerSector;
  entry.usedBytes = 0;
  entry.devicePath = entry.diskPath = diskPath;
  return entry;
}

void SortByStart(std::vector<PartitionRecord>& list) {
  std::stable_sort(
      list.begin(), list.end(),
      [](const PartitionRecord& a, const PartitionRecord& b) { return a.start < b.start; });
}

const DiskShape* ShapeOf(const std::vector<DiskShape>& shapes, uint32_t diskNumber) {
  for (const DiskShape& shape : shapes)
    if (shape.diskNumber == diskNumber) return &shape;
  return nullptr;
}

}  // namespace

void PlaceUnallocated(std::vector<PartitionRecord>& volumes, uint32_t diskNumber,
                      const std::string& diskPath, const std::optional<DiskGeometry>& geometry,
                      LayoutCarry& carry) {
  int64_t cursor = kClassicFirstTrack;
  int64_t diskSectors = 0;
  if (geometry) {
    carry.bytesPerSector = geometry->bytesPerSector;
    carry.sectorsPerCylinder =
        static_cast<uint64_t>(geometry->tracksPerCylinder) * geometry->sectorsPerTrack;
    cursor = geometry->sectorsPerTrack;
    diskSectors = static_cast<int64_t>(geometry->totalSectors);
  }
  const int64_t cylinder = static_cast<int64_t>(carry.sectorsPerCylinder);
  std::vector<PartitionRecord> stretches;
  for (PartitionRecord& volume : volumes) {
    volume.start /= carry.bytesPerSector;
    volume.length /= carry.bytesPerSector;
    volume.bytesPerSector = carry.bytesPerSector;
    int64_t gap = volume.start - cursor;
    if (gap > cylinder)
      stretches.push_back(FreeStretch(diskNumber, diskPath, cursor, gap, carry.bytesPerSector));
    // A volume nested in an earlier one must not pull the cursor back over
    // space that is in use.
    cursor = std::max(cursor, volume.start + volume.length);
  }
  int64_t tail = diskSectors - cursor;
  if (tail > cylinder)
    stretches.push_back(FreeStretch(diskNumber, diskPath, cursor, tail, carry.bytesPerSector));
  volumes.insert(volumes.end(), stretches.begin(), stretches.end());
}

PartitionRecord WholeDiskEntry(uint32_t diskNumber, const std::string& diskPath,
                               const DiskGeometry& geometry) {
  PartitionRecord entry =
      FreeStretch(diskNumber, diskPath, 0, static_cast<int64_t>(geometry.totalSectors),
                  geometry.bytesPerSector);
  entry.kind = EntryKind::kWholeDisk;
  return entry;
}

void ArrangeDisks(DiskMap& disks, const std::vector<DiskShape>& shapes) {
  LayoutCarry carry;
  for (auto& [diskNumber, list] : disks) {
    SortByStart(list);
    const DiskShape* shape = ShapeOf(shapes, diskNumber);
    std::optional<DiskGeometry> geometry = shape ? shape->geometry : std::nullopt;
    std::string diskPath = shape ? shape->devicePath : std::string();
    PlaceUnallocated(list, diskNumber, diskPath, geometry, carry);
  }
  for (const DiskShape& shape : shapes) {
    if (disks.count(shape.diskNumber) != 0 || !shape.geometry) continue;
    disks[shape.diskNumber].push_back(
        WholeDiskEntry(shape.diskNumber, shape.devicePath, *shape.geometry));
  }
  uint32_t ordinal = 1;
  for (auto& [diskNumber, list] : disks) {
    SortByStart(list);
    for (PartitionRecord& record : list) record.ordinal = ordinal++;
  }
}

}  // namespace salvora
