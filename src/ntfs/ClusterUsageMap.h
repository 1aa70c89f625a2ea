#pragma once
// Which clusters of a volume are in use, as its allocation bitmap says:
// bit k of byte k / 8 (least significant first) set means cluster k is
// taken. Answers "where does the next free space begin, and how long is
// it" for scans that only want unallocated sectors.
#include <cstdint>
#include <vector>

namespace salvora {

class ClusterUsageMap {
 public:
  void Assign(std::vector<uint8_t> bits, uint64_t totalSectors, uint32_t sectorsPerCluster);
  bool Empty() const { return bits_.empty(); }

  // Moves the volume-relative `sector` to the first free cluster at or
  // after it (a sector inside a free cluster stays where it is) and sets
  // `count` to the free sectors from there. When no free cluster is left
  // the sector moves to the end of the volume with count 0. Both are kept
  // inside the volume.
  void NextFreeRange(uint64_t& sector, uint64_t& count) const;

 private:
  bool InUse(uint64_t cluster) const { return bits_[cluster >> 3] & (1u << (cluster & 7)); }
  // First cluster at or after `cluster` whose bit equals `used`, or the
  // number of clusters the map covers.
  uint64_t FindBit(uint64_t cluster, bool used) const;

  std::vector<uint8_t> bits_;
  uint64_t totalSectors_ = 0;
  uint32_t sectorsPerCluster_ = 1;
};

}  // namespace salvora
