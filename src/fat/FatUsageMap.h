#pragma once
// Which clusters of a FAT volume are in use, one bit per cluster, built
// once from the FAT so that a deep scan can skip allocated space.
#include <cstdint>
#include <vector>

#include "clusters/FatTable.h"

namespace salvora {

class FatUsageMap {
 public:
  // Marks every cluster whose entry is in use or that an entry points to.
  // Entries that cannot be read leave their cluster free: a deep scan then
  // looks at more, never at less.
  void Build(FatTable& fat);
  bool Built() const { return built_; }

  // Moves the volume-relative `sector` to the first free sector at or after
  // it and sets `count` to the length of that free run, never past
  // `volumeSectors`. Sectors before the data area count from its start.
  void NextFreeRange(uint64_t volumeSectors, uint64_t& sector, uint64_t& count) const;

  // The first run of free clusters at or after cluster `from`, as cluster
  // numbers [first, end); false when no free cluster is left.
  bool NextFreeClusters(uint32_t from, uint32_t& first, uint32_t& end) const;

 private:
  bool IsUsed(uint32_t index) const { return (bits_[index / 8] >> (index % 8)) & 1; }
  void MarkUsed(uint32_t index) { bits_[index / 8] |= static_cast<uint8_t>(1u << (index % 8)); }
  // First cluster index at or after `from` whose bit equals `used`.
  uint32_t FindFrom(uint32_t from, bool used) const;

  std::vector<uint8_t> bits_;  // bit i: cluster i + 2
  uint32_t clusterCount_ = 0;
  uint64_t firstDataSector_ = 0;
  uint32_t sectorsPerCluster_ = 1;
  bool built_ = false;
};

}  // namespace salvora
