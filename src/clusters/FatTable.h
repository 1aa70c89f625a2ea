#pragma once
// The first FAT of a volume, read through one window of consecutive FAT
// sectors so that chain walks and the usage map cost one read per window.
// Entries are decoded at their real width (12, 16 or 28 bits), and no
// entry outside the FAT or cluster outside the volume is ever handed out.
#include <cstdint>
#include <vector>

#include "clusters/FatVolumeReader.h"

namespace salvora {

// Largest window: 16 MiB of FAT, so that a FAT32 volume of up to 4 million
// clusters is read in one go.
constexpr uint32_t kFatWindowBytes = 0x1000000;

class FatTable {
 public:
  explicit FatTable(const FatVolumeReader& volume);

  // The raw entry of `cluster` (FAT32: masked to 28 bits). 87 for a cluster
  // the FAT cannot hold; a read failure's code otherwise.
  int Entry(uint32_t cluster, uint32_t& value);

  // The cluster after `cluster` in a file: the FAT's pointer for a used
  // entry; for a free entry (a deleted file) the next cluster when it is
  // free too. 0 ends the chain, also for pointers outside the data area.
  int NextCluster(uint32_t cluster, uint32_t& next);

  // The first cluster after `cluster` whose entry is free; 0 when the
  // volume ends first.
  int NextFreeCluster(uint32_t cluster, uint32_t& next);

  // True for an entry value that points to another cluster of a chain.
  bool IsChainPointer(uint32_t value) const;

  const FatLayout& Layout() const { return volume_.layout; }

 private:
  int LoadWindowAt(uint64_t byteOffset);

  FatVolumeReader volume_;
  uint32_t entryLimit_;  // entries 0 .. entryLimit_ - 1 may be read
  std::vector<uint8_t> window_;
  uint64_t windowStartByte_ = 0;  // FAT byte offset of window_[0]
  uint64_t windowBytes_ = 0;      // valid bytes in window_
  // The FAT sector whose read failed last, and how, until another read
  // succeeds: every entry it holds would ask for it again, and on a dying
  // disk each attempt can take seconds.
  uint64_t failedSector_ = UINT64_MAX;
  int failedResult_ = 0;
};

}  // namespace salvora
