#include "exfat/ExfatClusterChain.h"

#include "platform/ErrorCodes.h"

namespace salvora {

bool ClusterTaken(const ClusterUsageMap* bitmap, uint32_t cluster) {
  return bitmap && !bitmap->Empty() && cluster >= 2 &&
         bitmap->InUse(static_cast<uint64_t>(cluster) - 2);
}

ExfatClusterChain::ExfatClusterChain(FatTable& fat, const ClusterUsageMap* bitmap,
                                     const ExfatStream& stream, bool expectFree)
    : fat_(fat), bitmap_(bitmap), stream_(stream), expectFree_(expectFree) {}

uint32_t ExfatClusterChain::NextFreeAfter(uint32_t cluster) const {
  const FatLayout& layout = fat_.Layout();
  if (cluster >= layout.MaxCluster()) return 0;
  if (!bitmap_ || bitmap_->Empty()) return cluster + 1;
  uint64_t index = bitmap_->FindBit(static_cast<uint64_t>(cluster) - 1, false);
  return index < layout.clusterCount ? static_cast<uint32_t>(index + 2) : 0;
}

int ExfatClusterChain::Start(bool& taken) const {
  taken = false;
  if (!fat_.Layout().IsDataCluster(stream_.firstCluster)) return kInvalidParameter;
  taken = expectFree_ && ClusterTaken(bitmap_, stream_.firstCluster);
  return taken && !stream_.noFatChain ? kFileCorrupt : kOk;
}

int ExfatClusterChain::Next(uint32_t cluster, uint32_t& next, bool& taken) {
  next = 0;
  taken = false;
  if (stream_.noFatChain) {
    if (cluster >= fat_.Layout().MaxCluster()) return kOk;
    next = cluster + 1;
    taken = expectFree_ && ClusterTaken(bitmap_, next);
    return kOk;
  }
  uint32_t value = 0;
  int result = fat_.Entry(cluster, value);
  if (result != kOk) return result;
  bool pointer = fat_.IsChainPointer(value) && value != cluster;
  if (!expectFree_) {
    if (pointer) next = value;
    return kOk;
  }
  if (!pointer) {
    next = NextFreeAfter(cluster);
    return kOk;
  }
  if (ClusterTaken(bitmap_, value)) return kFileCorrupt;
  next = value;
  return kOk;
}

}  // namespace salvora
