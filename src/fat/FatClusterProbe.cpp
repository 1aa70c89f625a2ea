#include "fat/FatClusterProbe.h"

#include "carving/ContentCheck.h"
#include "fat/FatDirEntry.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

// Deleting clears the high word, so every high word a volume of up to 2^24
// clusters can have is a candidate.
constexpr uint32_t kLastHighWord = 256;

}  // namespace

bool FatClusterProbe::ReadClusterStart(uint32_t cluster) {
  if (!volume_.layout.IsDataCluster(cluster)) return false;
  uint32_t got = 0;
  int result = volume_.Read(volume_.layout.ClusterSector(cluster), 1, sector_.data(), got);
  return result == 0 && got == 1;
}

bool FatClusterProbe::MatchesType(const std::string& extension, uint32_t cluster) {
  uint64_t absolute = volume_.Absolute(volume_.layout.ClusterSector(cluster));
  int bytesPerSector = static_cast<int>(volume_.layout.bytesPerSector);
  return MatchesExtension(sector_.data(), static_cast<uint32_t>(sector_.size()), extension.c_str(),
                          *volume_.source, bytesPerSector, absolute) != 0;
}

int FatClusterProbe::ContentCheck(const std::string& name, uint32_t firstCluster) {
  std::string extension = LowerExtension(name);
  if (extension.empty() || !ReadClusterStart(firstCluster)) return 1;
  return MatchesType(extension, firstCluster) ? 1 : 0;
}

// A directory's "." entry names the directory's own cluster, so a candidate
// is taken only when its start says it is that very directory; any other
// directory's start would otherwise pass as well.
uint32_t FatClusterProbe::FindDirectoryCluster(uint16_t lowWord) {
  for (uint32_t high = 0; high <= kLastHighWord; ++high) {
    uint32_t candidate = (high << 16) | lowWord;
    if (candidate > volume_.layout.MaxCluster()) break;
    if (!ReadClusterStart(candidate)) continue;
    if (!StartsWithDotPair(sector_.data(), sector_.size())) continue;
    if (EntryCluster(LoadDirEntry(sector_.data()), true) == candidate) return candidate;
  }
  return lowWord;
}

uint32_t FatClusterProbe::FindFileCluster(uint16_t lowWord, const std::string& name) {
  std::string extension = LowerExtension(name);
  if (extension.empty()) return lowWord;
  for (uint32_t high = 0; high <= kLastHighWord; ++high) {
    uint32_t candidate = (high << 16) | lowWord;
    if (candidate > volume_.layout.MaxCluster()) break;
    if (ReadClusterStart(candidate) && MatchesType(extension, candidate)) return candidate;
  }
  return lowWord;
}

}  // namespace salvora
