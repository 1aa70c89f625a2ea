#include "fat/FatClusterProbe.h"

#include "fat/FatDirEntry.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

// Deleting clears the high word, so every high word a volume of up to 2^24
// clusters can have is a candidate.
constexpr uint32_t kLastHighWord = 256;

}  // namespace

// A directory's "." entry names the directory's own cluster, so a candidate
// is taken only when its start says it is that very directory; any other
// directory's start would otherwise pass as well.
uint32_t FatClusterProbe::FindDirectoryCluster(uint16_t lowWord) {
  for (uint32_t high = 0; high <= kLastHighWord; ++high) {
    uint32_t candidate = (high << 16) | lowWord;
    if (candidate > Layout().MaxCluster()) break;
    if (!ReadClusterStart(candidate)) continue;
    const std::vector<uint8_t>& start = ClusterStart();
    if (!StartsWithDotPair(start.data(), start.size())) continue;
    if (EntryCluster(LoadDirEntry(start.data()), true) == candidate) return candidate;
  }
  return lowWord;
}

uint32_t FatClusterProbe::FindFileCluster(uint16_t lowWord, const std::string& name) {
  std::string extension = LowerExtension(name);
  if (extension.empty()) return lowWord;
  for (uint32_t high = 0; high <= kLastHighWord; ++high) {
    uint32_t candidate = (high << 16) | lowWord;
    if (candidate > Layout().MaxCluster()) break;
    if (StartMatches(extension, candidate)) return candidate;
  }
  return lowWord;
}

}  // namespace salvora
