#pragma once
// The clusters of one exFAT file or folder, in order. A run flagged as one
// piece (no FAT chain) is read cluster after cluster; otherwise the FAT
// leads. Data that was deleted is expected in free clusters: where deleting
// cleared the FAT (exfat-fuse and others write the chain back to zero),
// the data is taken to go on in the next free cluster, as on FAT. A cluster
// that deleted data still claims but the bitmap shows in use again holds
// other data now: the chain says so instead of handing out foreign bytes.
#include <cstdint>

#include "clusters/ClusterUsageMap.h"
#include "clusters/FatTable.h"
#include "exfat/ExfatEntrySet.h"

namespace salvora {

// Whether the bitmap (index = cluster - 2) shows `cluster` in use; false
// without a bitmap.
bool ClusterTaken(const ClusterUsageMap* bitmap, uint32_t cluster);

class ExfatClusterChain {
 public:
  // `bitmap` is the allocation bitmap, or null when it could not be read:
  // nothing then counts as taken. `expectFree` is set for data that was
  // deleted or lies below a deleted folder.
  ExfatClusterChain(FatTable& fat, const ClusterUsageMap* bitmap, const ExfatStream& stream,
                    bool expectFree);

  // Whether the first cluster may be read, `taken` telling that other data
  // holds it now. 87 when it lies outside the heap; 1392 when it is taken
  // and only the FAT could have said where the data goes on.
  int Start(bool& taken) const;
  // The cluster after `cluster` (0: the chain ends, with the volume or with
  // a live chain) and whether other data holds it now. 1392 when the FAT
  // leads into a cluster taken since, where the entry that would lead on
  // belongs to the other data; a FAT read error.
  int Next(uint32_t cluster, uint32_t& next, bool& taken);

 private:
  // The first cluster after `cluster` that is free (any cluster without a
  // bitmap); 0 when the heap ends first.
  uint32_t NextFreeAfter(uint32_t cluster) const;

  FatTable& fat_;
  const ClusterUsageMap* bitmap_;
  ExfatStream stream_;
  bool expectFree_;
};

}  // namespace salvora
