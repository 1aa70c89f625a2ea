#pragma once
// Looks at the first sector of a found entry's cluster: does it carry what
// the entry promises? Used to check a file's content against its extension,
// and by the FAT engine to win back the cluster high word that deleting a
// FAT32 entry clears.
#include <cstdint>
#include <string>
#include <vector>

#include "clusters/FatVolumeReader.h"

namespace salvora {

class ClusterProbe {
 public:
  explicit ClusterProbe(const FatVolumeReader& volume)
      : volume_(volume), sector_(volume.layout.bytesPerSector) {}

  // 1 when the file's first sector matches its extension, when it has no
  // extension, or when nothing can be read to tell; 0 when it does not match.
  int ContentCheck(const std::string& name, uint32_t firstCluster);

  // Reads the first sector of a data cluster into ClusterStart(); false
  // when the cluster lies outside the data area or cannot be read.
  bool ReadClusterStart(uint32_t cluster);
  const std::vector<uint8_t>& ClusterStart() const { return sector_; }
  // Whether the data cluster starts with the signature of the lower-case
  // `extension`; false when it cannot be read.
  bool StartMatches(const std::string& extension, uint32_t cluster);

  const FatLayout& Layout() const { return volume_.layout; }

 private:
  bool MatchesType(const std::string& extension, uint32_t cluster);

  FatVolumeReader volume_;
  std::vector<uint8_t> sector_;
};

}  // namespace salvora
