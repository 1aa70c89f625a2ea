#include "cli/QuickVolumes.h"

#include <memory>
#include <vector>

#include "platform/BlockDevices.h"
#include "platform/DiskPartitions.h"
#include "platform/ErrorCodes.h"
#include "platform/RandomAccessFile.h"
#include "storage/SectorSource.h"
#include "storage/VolumeClass.h"

namespace salvora {
namespace {

bool StartsWithFileSystem(const ScanSource& disk) {
  std::unique_ptr<RandomAccessFile> file;
  if (OpenRandomAccessFile(disk.path, file) != kOk) return true;  // let selection explain
  std::vector<uint8_t> probe(kProbeBytes, 0);
  uint64_t got = 0;
  ReadChunked(*file, probe.data(), 0, kProbeBytes, got);
  return got < kProbeBytes || ClassifyVolume(probe.data(), probe.size()) != VolumeClass::kOther;
}

}  // namespace

std::vector<ScanSource> QuickScanVolumes(const ScanSource& source) {
  if (source.kind != ScanSource::Kind::kDisk || StartsWithFileSystem(source)) return {source};
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
  if (volumes.empty()) volumes.push_back(source);
  return volumes;
}

}  // namespace salvora
