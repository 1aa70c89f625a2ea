#include "clusters/ClusterProbe.h"

#include "carving/ContentCheck.h"
#include "results/TypeGroups.h"

namespace salvora {

bool ClusterProbe::ReadClusterStart(uint32_t cluster) {
  if (!volume_.layout.IsDataCluster(cluster)) return false;
  uint32_t got = 0;
  int result = volume_.Read(volume_.layout.ClusterSector(cluster), 1, sector_.data(), got);
  return result == 0 && got == 1;
}

bool ClusterProbe::MatchesType(const std::string& extension, uint32_t cluster) {
  uint64_t absolute = volume_.Absolute(volume_.layout.ClusterSector(cluster));
  int bytesPerSector = static_cast<int>(volume_.layout.bytesPerSector);
  return MatchesExtension(sector_.data(), static_cast<uint32_t>(sector_.size()), extension.c_str(),
                          *volume_.source, bytesPerSector, absolute) != 0;
}

bool ClusterProbe::StartMatches(const std::string& extension, uint32_t cluster) {
  return ReadClusterStart(cluster) && MatchesType(extension, cluster);
}

int ClusterProbe::ContentCheck(const std::string& name, uint32_t firstCluster) {
  std::string extension = LowerExtension(name);
  if (extension.empty() || !ReadClusterStart(firstCluster)) return 1;
  return MatchesType(extension, firstCluster) ? 1 : 0;
}

}  // namespace salvora
