#include "clusters/ClusterUsageMap.h"

#include <algorithm>

namespace salvora {

void ClusterUsageMap::Assign(std::vector<uint8_t> bits, uint64_t totalSectors,
                             uint32_t sectorsPerCluster, uint64_t firstClusterSector) {
  bits_ = std::move(bits);
  totalSectors_ = totalSectors;
  sectorsPerCluster_ = sectorsPerCluster == 0 ? 1 : sectorsPerCluster;
  firstClusterSector_ = std::min(firstClusterSector, totalSectors);
}

uint64_t ClusterUsageMap::FindBit(uint64_t cluster, bool used) const {
  const uint64_t mapClusters = MapClusters();
  const uint8_t skip = used ? 0x00 : 0xFF;
  while (cluster < mapClusters) {
    if ((cluster & 7) == 0 && bits_[cluster >> 3] == skip) {
      cluster += 8;
      continue;
    }
    if (InUse(cluster) == used) return cluster;
    ++cluster;
  }
  return mapClusters;
}

void ClusterUsageMap::NextFreeRange(uint64_t& sector, uint64_t& count) const {
  count = 0;
  if (sector >= totalSectors_) {
    sector = totalSectors_;
    return;
  }
  const uint64_t spc = sectorsPerCluster_;
  const uint64_t mapClusters = MapClusters();
  const uint64_t base = firstClusterSector_;
  sector = std::max(sector, base);
  uint64_t cluster = (sector - base) / spc;
  if (cluster >= mapClusters) return;
  uint64_t freeCluster = FindBit(cluster, false);
  if (freeCluster >= mapClusters) {
    sector = std::min(totalSectors_, base + mapClusters * spc);
    return;
  }
  if (freeCluster != cluster) sector = std::min(base + freeCluster * spc, totalSectors_);
  uint64_t usedCluster = FindBit(freeCluster, true);
  uint64_t end = std::min(base + usedCluster * spc, totalSectors_);
  count = end > sector ? end - sector : 0;
}

}  // namespace salvora
