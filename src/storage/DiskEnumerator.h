#pragma once
// The disk list: every volume on every whole disk with its place on the
// disk, the unallocated stretches between them, and disks without volumes,
// one ordered list per disk number.
#include <cstdint>
#include <vector>

#include "storage/DiskLayout.h"
#include "storage/PartitionRecord.h"

namespace salvora {

class DiskEnumerator {
 public:
  // Rebuilds every list from scratch and rewinds NextRecord. Returns 1, or
  // 0 when the system's list of block devices cannot be read (every list
  // then stays empty).
  int Refresh();
  // Copies the next record (disks in ascending number, each list in order);
  // false after the last one.
  bool NextRecord(PartitionRecord& out);
  // Every record in NextRecord's order; returns 1.
  int CollectAll(std::vector<PartitionRecord>& out) const;
  // Refreshes, then lists the records of `previous` that are gone: no
  // current entry lies on the same disk at the same start.
  void FindVanished(const std::vector<PartitionRecord>& previous,
                    std::vector<PartitionRecord>& vanished);

  const DiskMap& Disks() const { return disks_; }

 private:
  DiskMap disks_;
  DiskMap::const_iterator cursorDisk_ = disks_.end();
  size_t cursorIndex_ = 0;
};

}  // namespace salvora
