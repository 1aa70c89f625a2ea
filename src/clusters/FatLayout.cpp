#include "clusters/FatLayout.h"

#include <algorithm>

namespace salvora {

uint64_t FatLayout::ClusterSector(uint32_t cluster) const {
  if (cluster < 2) return rootDirSector;
  return firstDataSector + static_cast<uint64_t>(cluster - 2) * sectorsPerCluster;
}

uint32_t FatLayout::FatEntryBits() const {
  switch (type) {
    case FatType::kFat12:
      return 12;
    case FatType::kFat16:
      return 16;
    case FatType::kFat32:
    case FatType::kExfat:
      return 32;
  }
  return 32;
}

uint32_t FatLayout::FatEntryCount() const {
  uint64_t bits = static_cast<uint64_t>(fatSectors) * bytesPerSector * 8;
  return static_cast<uint32_t>(std::min<uint64_t>(bits / FatEntryBits(), UINT32_MAX));
}

void FatLayout::LimitTo(uint64_t readableSectors) {
  totalSectors = std::min(totalSectors, readableSectors);
  uint64_t readableFat = readableSectors > fatStart ? readableSectors - fatStart : 0;
  fatSectors = static_cast<uint32_t>(std::min<uint64_t>(fatSectors, readableFat));
  // Only whole clusters: every read of one stays inside the source.
  uint64_t dataSectors = readableSectors > firstDataSector ? readableSectors - firstDataSector : 0;
  uint64_t clusters = dataSectors / sectorsPerCluster;
  clusterCount = static_cast<uint32_t>(std::min<uint64_t>(clusterCount, clusters));
}

}  // namespace salvora
