#include "fat/FatDeepProbes.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "carving/ContentCheck.h"
#include "fat/FatDirEntry.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

constexpr size_t kHeadBytes = 4096;
constexpr uint32_t kLastHighWord = 256;
// A crafted disk can chain directories through their ".." entries far
// beyond any real tree; each level costs a read.
constexpr uint32_t kMaxDepth = 1024;

}  // namespace

size_t FatDeepReader::Read(uint64_t sector, uint8_t* buffer, size_t bytes) {
  size_t sectorBytes = static_cast<size_t>(sectorSize_);
  size_t count = std::max<size_t>(1, bytes / sectorBytes);
  if (count * sectorBytes > bytes || sector >= source_.SectorCount()) return 0;
  // A directory near the end of the source still yields what lies before it.
  count = static_cast<size_t>(std::min<uint64_t>(count, source_.SectorCount() - sector));
  uint32_t got = 0;
  source_.ReadSectors(static_cast<int32_t>(count), buffer, sector, sectorSize_, got);
  return static_cast<size_t>(got) * sectorBytes;
}

FatDeepDirectoryHead ReadDirectoryHead(FatDeepReader& reader, uint64_t sector) {
  FatDeepDirectoryHead head;
  std::vector<uint8_t> block(std::max<size_t>(kHeadBytes, reader.SectorSize()));
  size_t got = reader.Read(sector, block.data(), block.size());
  if (got < 64) return head;
  head.read = true;
  head.volumeLabelFirst = block[11] == kAttrVolumeLabel;
  head.dotEntries = StartsWithDotPair(block.data(), got);
  if (head.dotEntries) head.parentCluster = EntryCluster(LoadDirEntry(block.data() + 32), true);
  return head;
}

uint32_t DirectoryDepth(FatDeepReader& reader, const FatDeepVolume& volume, uint32_t cluster,
                        uint32_t rootCluster) {
  uint32_t depth = 0;
  std::unordered_set<uint32_t> visited;
  while (cluster != 0 && depth < kMaxDepth) {
    visited.insert(cluster);
    uint64_t sector = 0;
    if (!volume.SectorOfCluster(cluster, sector)) break;
    FatDeepDirectoryHead head = ReadDirectoryHead(reader, sector);
    if (!head.read || head.volumeLabelFirst || cluster == rootCluster) break;
    ++depth;
    if (!head.dotEntries || head.parentCluster == 0 || visited.count(head.parentCluster)) break;
    cluster = head.parentCluster;
  }
  return depth;
}

uint32_t HeaderMatches(FatDeepReader& reader, const FatDeepVolume& volume, uint32_t cluster,
                       std::string_view name) {
  std::string extension = LowerExtension(name);
  if (extension.empty()) return 1;
  uint64_t sector = 0;
  if (!volume.SectorOfCluster(cluster, sector)) return 1;
  std::vector<uint8_t> buffer(reader.SectorSize());
  size_t got = reader.Read(sector, buffer.data(), buffer.size());
  if (got == 0) return 1;
  return MatchesExtension(buffer.data(), static_cast<uint32_t>(got), extension.c_str(),
                          reader.Source(), reader.SectorSize(), sector)
             ? 1
             : 0;
}

uint32_t RecoverHighWord(FatDeepReader& reader, const FatDeepVolume& volume, uint32_t lowWord,
                         bool isFolder, std::string_view name) {
  std::string extension = LowerExtension(name);
  if (!isFolder && extension.empty()) return lowWord;
  std::vector<uint8_t> buffer(reader.SectorSize());
  for (uint32_t high = 0; high <= kLastHighWord; ++high) {
    uint32_t cluster = high << 16 | (lowWord & 0xFFFF);
    uint64_t sector = 0;
    if (cluster < 2 || !volume.SectorOfCluster(cluster, sector)) continue;
    if (sector >= reader.SectorCount()) break;
    size_t got = reader.Read(sector, buffer.data(), buffer.size());
    if (got == 0) break;
    bool matches =
        isFolder ? StartsWithDotPair(buffer.data(), got)
                 : MatchesExtension(buffer.data(), static_cast<uint32_t>(got), extension.c_str(),
                                    reader.Source(), reader.SectorSize(), sector) != 0;
    if (matches) return cluster;
  }
  return lowWord;
}

}  // namespace salvora
