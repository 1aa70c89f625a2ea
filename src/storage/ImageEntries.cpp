#include "storage/ImageEntries.h"

#include <memory>

#include "platform/ErrorCodes.h"
#include "platform/ImagePartitions.h"
#include "platform/RandomAccessFile.h"
#include "platform/VolumeProbe.h"
#include "storage/DiskLayout.h"
#include "storage/ImageDisks.h"
#include "storage/SectorSource.h"
#include "storage/VolumeClass.h"

namespace salvora {
namespace {

constexpr uint32_t kImageSectorBytes = 512;

uint8_t TypeOfFileSystem(const std::string& name) {
  if (name == "NTFS") return kTypeNtfs;
  if (name == "FAT32") return kTypeFat32;
  if (name == "FAT") return kTypeFat;
  return 0;
}

// A partition as the table gives it, cut to what the image holds; positions
// in bytes until the layout places it. False when nothing of it is there.
bool DescribePartition(const std::string& imagePath, uint64_t imageBytes,
                       const ImagePartition& partition, PartitionRecord& record) {
  if (partition.extendedContainer || partition.startBytes >= imageBytes) return false;
  uint64_t length = std::min(partition.lengthBytes, imageBytes - partition.startBytes);
  VolumeFacts facts;
  ProbeVolumeAt(imagePath, partition.startBytes, length, facts);
  record = PartitionRecord();
  record.kind = EntryKind::kVolume;
  record.partitionNumber = partition.number;
  record.start = static_cast<int64_t>(partition.startBytes);
  record.length = static_cast<int64_t>(length);
  record.fileSystemName = facts.fileSystemName;
  record.label = facts.label;
  record.partitionType = TypeOfFileSystem(facts.fileSystemName);
  // Nothing tells how much of a volume inside an image is in use.
  record.totalBytes = record.usedBytes = length;
  record.devicePath = record.diskPath = imagePath;
  return true;
}

}  // namespace

bool StartsWithVolume(const std::string& path) {
  std::unique_ptr<RandomAccessFile> file;
  if (OpenRandomAccessFile(path, file) != kOk) return true;
  std::vector<uint8_t> probe(kProbeBytes, 0);
  uint64_t got = 0;
  ReadChunked(*file, probe.data(), 0, kProbeBytes, got);
  return got < kProbeBytes || ClassifyVolume(probe.data(), probe.size()) != VolumeClass::kOther;
}

bool ListImageEntries(const std::string& imagePath, std::vector<PartitionRecord>& entries) {
  entries.clear();
  std::vector<ImagePartition> partitions;
  if (StartsWithVolume(imagePath) || !ListImagePartitions(imagePath, partitions)) return false;
  std::unique_ptr<RandomAccessFile> file;
  if (OpenRandomAccessFile(imagePath, file) != kOk) return false;
  const uint32_t diskNumber = ImageDiskNumber(imagePath);
  DiskMap disks;
  std::vector<PartitionRecord>& list = disks[diskNumber];
  for (const ImagePartition& partition : partitions) {
    PartitionRecord record;
    if (DescribePartition(imagePath, file->Size(), partition, record)) {
      record.diskNumber = static_cast<int32_t>(diskNumber);
      list.push_back(record);
    }
  }
  // Laid out as a disk of unknown geometry: gaps and a tail of more than
  // one cylinder become unallocated entries.
  DiskGeometry geometry;
  geometry.bytesPerSector = kImageSectorBytes;
  geometry.totalSectors = file->Size() / kImageSectorBytes;
  ArrangeDisks(disks, {{diskNumber, imagePath, geometry}});
  entries = disks[diskNumber];
  return true;
}

}  // namespace salvora
