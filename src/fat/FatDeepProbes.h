#pragma once
// The few reads the deep FAT engine makes on its own, beside the sweep that
// the composite does: directory heads for parent walks, one sector for a
// file's header check or a lost high cluster word. A failed read ends only
// the probe that made it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fat/FatDeepVolume.h"
#include "storage/SectorSource.h"

namespace salvora {

// Absolute reads through the engine's source in the engine's sector size.
class FatDeepReader {
 public:
  FatDeepReader(SectorSource& source, const int& sectorSize)
      : source_(source), sectorSize_(sectorSize) {}
  // Reads whole sectors into `buffer` (room for `bytes`); the bytes that
  // arrived, 0 when nothing did.
  size_t Read(uint64_t sector, uint8_t* buffer, size_t bytes);
  int SectorSize() const { return sectorSize_; }
  uint64_t SectorCount() const { return source_.SectorCount(); }
  SectorSource& Source() { return source_; }

 private:
  SectorSource& source_;
  const int& sectorSize_;
};

// What the first 4096 bytes of a directory say about it.
struct FatDeepDirectoryHead {
  bool read = false;
  bool volumeLabelFirst = false;  // only a root directory starts with its label
  bool dotEntries = false;        // "." then ".." as a subdirectory starts
  uint32_t parentCluster = 0;     // the ".." entry's cluster
};
FatDeepDirectoryHead ReadDirectoryHead(FatDeepReader& reader, uint64_t sector);

// Levels between directory `cluster` and the root, read from the ".."
// entries on disk; 0 for the root itself.
uint32_t DirectoryDepth(FatDeepReader& reader, const FatDeepVolume& volume, uint32_t cluster,
                        uint32_t rootCluster);

// 1 when the first sector of `cluster` carries the signature the name's
// extension promises, or cannot be checked; 0 when it plainly does not.
uint32_t HeaderMatches(FatDeepReader& reader, const FatDeepVolume& volume, uint32_t cluster,
                       std::string_view name);

// A deleted FAT32 entry loses its cluster's high word; the first of the 257
// candidates whose first sector looks like the entry's content wins. The
// cluster as stored when no candidate does.
uint32_t RecoverHighWord(FatDeepReader& reader, const FatDeepVolume& volume, uint32_t lowWord,
                         bool isFolder, std::string_view name);

}  // namespace salvora
