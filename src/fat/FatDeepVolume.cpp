#include "fat/FatDeepVolume.h"

#include <algorithm>
#include <limits>

namespace salvora {
namespace {

// A hostile disk full of fake subdirectory starts must not make every later
// sector test thousands of volumes, nor every new start thousands of pairs.
constexpr size_t kMaxVolumes = 256;
constexpr size_t kMaxRememberedStarts = 4096;

}  // namespace

bool IsClusterSizeInSectors(uint64_t value) {
  return value >= 1 && value <= 128 && (value & (value - 1)) == 0;
}

bool FatDeepVolume::SectorOfCluster(uint32_t cluster, uint64_t& sector) const {
  if (cluster == 0) {
    if (rootSectors == 0 || ClusterTwoSector() < rootSectors) return false;
    sector = ClusterTwoSector() - rootSectors;
    return true;
  }
  if (cluster == 1) return false;
  sector = ClusterTwoSector() + static_cast<uint64_t>(cluster - 2) * sectorsPerCluster;
  return true;
}

bool FatDeepVolume::ClusterHolding(uint64_t sector, uint32_t& cluster) const {
  uint64_t clusterTwo = ClusterTwoSector();
  if (sector < clusterTwo) {
    if (clusterTwo - sector > rootSectors) return false;
    cluster = 0;
    return true;
  }
  uint64_t index = (sector - clusterTwo) / static_cast<uint64_t>(sectorsPerCluster) + 2;
  if (index > std::numeric_limits<uint32_t>::max()) return false;
  cluster = static_cast<uint32_t>(index);
  return true;
}

bool FatDeepVolume::ClusterStartingAt(uint64_t sector, uint32_t& cluster) const {
  if (!ClusterHolding(sector, cluster)) return false;
  if (cluster == 0) return true;
  return (sector - ClusterTwoSector()) % static_cast<uint64_t>(sectorsPerCluster) == 0;
}

// Both orderings must agree: a directory with the higher cluster number can
// only lie at the higher sector of the same volume.
bool InferVolume(const DirectoryStart& x, const DirectoryStart& y, uint64_t partitionStart,
                 FatDeepVolume& out) {
  if (x.cluster < 2 || y.cluster < 2 || x.cluster == y.cluster) return false;
  const DirectoryStart& high = x.cluster > y.cluster ? x : y;
  const DirectoryStart& low = x.cluster > y.cluster ? y : x;
  if (high.sector <= low.sector) return false;
  uint64_t sectorDistance = high.sector - low.sector;
  uint64_t clusterDistance = high.cluster - low.cluster;
  if (sectorDistance % clusterDistance != 0) return false;
  uint64_t perCluster = sectorDistance / clusterDistance;
  if (!IsClusterSizeInSectors(perCluster)) return false;
  uint64_t below = perCluster * (low.cluster - 2);
  if (below > low.sector || low.sector - below < partitionStart) return false;
  uint64_t offset = low.sector - below - partitionStart;
  if (offset > std::numeric_limits<uint32_t>::max()) return false;
  out = {static_cast<int32_t>(perCluster), static_cast<uint32_t>(offset), partitionStart,
         kFixedRootSectors};
  return true;
}

void FatDeepVolumes::Clear() {
  volumes_.clear();
  starts_.clear();
  hasBootVolume_ = false;
}

void FatDeepVolumes::AddBootVolume(const FatDeepVolume& volume) {
  if (!volumes_.empty()) return;  // only the first volume can be the boot volume
  volumes_.push_back(volume);
  hasBootVolume_ = true;
}

int FatDeepVolumes::FindStart(uint32_t cluster, uint64_t sector) const {
  for (size_t i = 0; i < volumes_.size(); ++i) {
    uint64_t at = 0;
    if (volumes_[i].SectorOfCluster(cluster, at) && at == sector) return static_cast<int>(i);
  }
  return kNone;
}

int FatDeepVolumes::LearnFromStart(const DirectoryStart& start, uint64_t partitionStart) {
  if (volumes_.size() < kMaxVolumes) {
    for (const DirectoryStart& earlier : starts_) {
      FatDeepVolume volume;
      if (!InferVolume(start, earlier, partitionStart, volume)) continue;
      volumes_.push_back(volume);
      // Starts the new volume explains need no partner any more.
      std::erase_if(starts_, [&](const DirectoryStart& s) {
        uint64_t at = 0;
        return volume.SectorOfCluster(s.cluster, at) && at == s.sector;
      });
      return static_cast<int>(volumes_.size() - 1);
    }
  }
  if (starts_.size() >= kMaxRememberedStarts) starts_.pop_front();
  starts_.push_back(start);
  return kNone;
}

int FatDeepVolumes::FindClusterStart(uint64_t sector, uint32_t& cluster) const {
  for (size_t i = hasBootVolume_ ? 1 : 0; i < volumes_.size(); ++i) {
    if (volumes_[i].ClusterStartingAt(sector, cluster)) return static_cast<int>(i);
  }
  if (hasBootVolume_ && volumes_[0].ClusterStartingAt(sector, cluster)) return 0;
  return kNone;
}

int FatDeepVolumes::Nearest(uint64_t sector) const {
  size_t first = hasBootVolume_ && volumes_.size() > 1 ? 1 : 0;
  if (first >= volumes_.size()) return kNone;
  int best = static_cast<int>(first);
  bool found = false;
  for (size_t i = first; i < volumes_.size(); ++i) {
    uint64_t clusterTwo = volumes_[i].ClusterTwoSector();
    if (clusterTwo > sector) continue;
    if (!found || clusterTwo > volumes_[best].ClusterTwoSector()) best = static_cast<int>(i);
    found = true;
  }
  return best;
}

}  // namespace salvora
