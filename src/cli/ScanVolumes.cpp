#include "cli/ScanVolumes.h"

#include <vector>

#include "platform/BlockDevices.h"
#include "platform/DiskPartitions.h"
#include "storage/ImageEntries.h"
#include "storage/SectorSource.h"
#include "storage/VolumeClass.h"

namespace salvora {
namespace {

// Every partition of a whole disk, each as a source of its own.
std::vector<ScanSource> DiskPartitions(const ScanSource& source) {
  std::vector<ScanSource> volumes;
  for (const WholeDisk& disk : ListWholeDisks()) {
    if (disk.number != source.diskNumber) continue;
    for (const PartitionNode& partition : ListPartitions(disk)) {
      ScanSource volume = source;
      volume.kind = ScanSource::Kind::kPartition;
      volume.path = partition.devicePath;
      volume.firstSector = partition.startBytes / source.sectorSize;
      volume.sectorCount = partition.lengthBytes / source.sectorSize;
      volume.sourceTag = static_cast<uint16_t>(partition.partitionNumber);
      // An extended partition's container holds only the next table.
      if (volume.sectorCount * source.sectorSize >= kProbeBytes) volumes.push_back(volume);
    }
  }
  return volumes;
}

// The entries of an image of a disk: its partitions, and for a deep scan
// the stretches no partition covers.
std::vector<ScanSource> ImageEntries(const ScanSource& source, bool deep) {
  std::vector<PartitionRecord> entries;
  std::vector<ScanSource> volumes;
  if (!ListImageEntries(source.path, entries)) return volumes;
  for (const PartitionRecord& entry : entries)
    if (deep || entry.kind == EntryKind::kVolume)
      volumes.push_back(ImageEntrySource(source.path, entry));
  return volumes;
}

}  // namespace

std::vector<ScanSource> ScanVolumes(const ScanSource& source, bool deep) {
  std::vector<ScanSource> volumes;
  if (source.kind == ScanSource::Kind::kImage)
    volumes = ImageEntries(source, deep);
  else if (source.kind == ScanSource::Kind::kDisk && !deep && !StartsWithVolume(source.path))
    volumes = DiskPartitions(source);
  if (volumes.empty()) volumes.push_back(source);
  return volumes;
}

}  // namespace salvora
