#pragma once
// Looks at the first sector of a found entry's cluster: does it carry what
// the entry promises? Used to check a file's content against its extension
// and to win back the cluster high word that deleting a FAT32 entry clears.
#include <cstdint>
#include <string>
#include <vector>

#include "fat/FatVolumeReader.h"

namespace salvora {

class FatClusterProbe {
 public:
  explicit FatClusterProbe(const FatVolumeReader& volume)
      : volume_(volume), sector_(volume.layout.bytesPerSector) {}

  // 1 when the file's first sector matches its extension, when it has no
  // extension, or when nothing can be read to tell; 0 when it does not match.
  int ContentCheck(const std::string& name, uint32_t firstCluster);

  // The first cluster (high word << 16 | `lowWord`, high words 0..256)
  // whose start looks like the deleted entry's data: a directory start
  // naming itself, or for a file the signature of its extension. `lowWord`
  // itself when none does or the file has no extension.
  uint32_t FindDirectoryCluster(uint16_t lowWord);
  uint32_t FindFileCluster(uint16_t lowWord, const std::string& name);

 private:
  // Reads the first sector of a data cluster; false when it cannot.
  bool ReadClusterStart(uint32_t cluster);
  bool MatchesType(const std::string& extension, uint32_t cluster);

  FatVolumeReader volume_;
  std::vector<uint8_t> sector_;
};

}  // namespace salvora
