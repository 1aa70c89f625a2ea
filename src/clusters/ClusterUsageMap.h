#pragma once
// Which clusters of a volume are in use, as its allocation bitmap says:
// bit k of byte k / 8 (least significant first) set means the k-th cluster
// of the map is taken. Answers "where does the next free space begin, and
// how long is it" for scans that only want unallocated sectors, and "is
// this cluster taken" for copies of deleted files.
#include <cstdint>
#include <vector>

namespace salvora {

class ClusterUsageMap {
 public:
  // `firstClusterSector` is the volume sector where the map's first cluster
  // starts (0 on NTFS; exFAT counts from its cluster heap). Sectors before
  // it are metadata and never free.
  void Assign(std::vector<uint8_t> bits, uint64_t totalSectors, uint32_t sectorsPerCluster,
              uint64_t firstClusterSector = 0);
  bool Empty() const { return bits_.empty(); }

  // Moves the volume-relative `sector` to the first free cluster at or
  // after it (a sector inside a free cluster stays where it is) and sets
  // `count` to the free sectors from there. When no free cluster is left
  // the sector moves to the end of the volume with count 0. Both are kept
  // inside the volume.
  void NextFreeRange(uint64_t& sector, uint64_t& count) const;

  // Whether the map's `cluster`-th cluster is taken; clusters the map does
  // not cover count as taken.
  bool InUse(uint64_t cluster) const {
    return cluster >= MapClusters() || (bits_[cluster >> 3] & (1u << (cluster & 7)));
  }
  // First cluster at or after `cluster` whose bit equals `used`, or the
  // number of clusters the map covers.
  uint64_t FindBit(uint64_t cluster, bool used) const;

 private:
  uint64_t MapClusters() const { return static_cast<uint64_t>(bits_.size()) * 8; }

  std::vector<uint8_t> bits_;
  uint64_t totalSectors_ = 0;
  uint32_t sectorsPerCluster_ = 1;
  uint64_t firstClusterSector_ = 0;
};

}  // namespace salvora
