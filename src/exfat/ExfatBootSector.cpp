#include "exfat/ExfatBootSector.h"

#include <algorithm>

#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// The boot region and its backup come before the first FAT.
constexpr uint32_t kFirstFatSector = 24;
// Cluster numbers from here on are reserved marks, not clusters.
constexpr uint64_t kClusterLimit = 0xFFFFFFF5;
constexpr uint32_t kFatEntryBytes = 4;

}  // namespace

bool ReadExfatBootFields(const uint8_t* s, size_t length, ExfatBootFields& out) {
  if (!s || length < 512) return false;
  out.volumeLength = Le64(s + 72);
  out.fatOffset = Le32(s + 80);
  out.fatLength = Le32(s + 84);
  out.clusterHeapOffset = Le32(s + 88);
  out.clusterCount = Le32(s + 92);
  out.rootCluster = Le32(s + 96);
  out.sectorShift = s[108];
  out.clusterShift = s[109];
  out.fatCount = s[110];
  return true;
}

int DeriveExfatLayout(const ExfatBootFields& f, uint64_t availableSectors, FatLayout& out) {
  if (f.sectorShift < 9 || f.sectorShift > 12 || f.clusterShift > 25 - f.sectorShift ||
      f.fatCount == 0 || f.fatCount > 2 || f.fatOffset < kFirstFatSector || f.fatLength == 0)
    return kInvalidParameter;
  FatLayout layout;
  layout.type = FatType::kExfat;
  layout.bytesPerSector = 1u << f.sectorShift;
  layout.sectorsPerCluster = 1u << f.clusterShift;
  layout.fatStart = f.fatOffset;
  layout.fatSectors = f.fatLength;
  layout.firstDataSector = f.clusterHeapOffset;
  layout.totalSectors = std::min(f.volumeLength, availableSectors);
  uint64_t fatEnd = static_cast<uint64_t>(f.fatOffset) + f.fatLength;
  if (f.clusterHeapOffset < fatEnd || layout.totalSectors <= layout.firstDataSector)
    return kInvalidParameter;

  // Clusters the heap, the FAT and the cluster numbering can all hold.
  uint64_t heapClusters = (layout.totalSectors - layout.firstDataSector) / layout.sectorsPerCluster;
  uint64_t fatEntries = static_cast<uint64_t>(f.fatLength) * layout.bytesPerSector / kFatEntryBytes;
  uint64_t clusters = std::min<uint64_t>(
      {f.clusterCount, heapClusters, fatEntries > 2 ? fatEntries - 2 : 0, kClusterLimit - 2});
  if (clusters == 0) return kInvalidParameter;
  layout.clusterCount = static_cast<uint32_t>(clusters);
  layout.rootCluster = f.rootCluster;
  if (!layout.IsDataCluster(layout.rootCluster)) return kInvalidParameter;
  layout.rootDirSector = layout.ClusterSector(layout.rootCluster);
  out = layout;
  return kOk;
}

}  // namespace salvora
