#pragma once
// Deleting a FAT32 entry clears the high word of its first cluster; the
// probe wins it back by looking for the start the entry promises.
#include <cstdint>
#include <string>

#include "clusters/ClusterProbe.h"

namespace salvora {

class FatClusterProbe : public ClusterProbe {
 public:
  using ClusterProbe::ClusterProbe;

  // The first cluster (high word << 16 | `lowWord`, high words 0..256)
  // whose start looks like the deleted entry's data: a directory start
  // naming itself, or for a file the signature of its extension. `lowWord`
  // itself when none does or the file has no extension.
  uint32_t FindDirectoryCluster(uint16_t lowWord);
  uint32_t FindFileCluster(uint16_t lowWord, const std::string& name);
};

}  // namespace salvora
