#include "fat/FatUsageMap.h"

#include <algorithm>

#include "platform/ErrorCodes.h"

namespace salvora {

void FatUsageMap::Build(FatTable& fat) {
  const FatLayout& layout = fat.Layout();
  clusterCount_ = layout.clusterCount;
  firstDataSector_ = layout.firstDataSector;
  sectorsPerCluster_ = layout.sectorsPerCluster;
  bits_.assign((static_cast<size_t>(clusterCount_) + 7) / 8, 0);
  // The bits past the last cluster stand for nothing that could be free.
  for (uint32_t index = clusterCount_; index < bits_.size() * 8; ++index) MarkUsed(index);
  for (uint32_t cluster = 2; cluster <= layout.MaxCluster(); ++cluster) {
    uint32_t value = 0;
    int result = fat.Entry(cluster, value);
    if (result == kInvalidParameter) break;  // the FAT holds no more entries
    if (result != kOk || value == 0) continue;
    MarkUsed(cluster - 2);
    if (fat.IsChainPointer(value)) MarkUsed(value - 2);
  }
  built_ = true;
}

uint32_t FatUsageMap::FindFrom(uint32_t from, bool used) const {
  uint8_t skipByte = used ? 0x00 : 0xFF;
  uint32_t index = from;
  while (index < clusterCount_) {
    if (index % 8 == 0 && bits_[index / 8] == skipByte) {
      index += 8;
      continue;
    }
    if (IsUsed(index) == used) return index;
    ++index;
  }
  return clusterCount_;
}

void FatUsageMap::NextFreeRange(uint64_t volumeSectors, uint64_t& sector, uint64_t& count) const {
  count = 0;
  if (sector > volumeSectors) {
    sector = volumeSectors;
    return;
  }
  uint64_t relative = sector > firstDataSector_ ? sector - firstDataSector_ : 0;
  uint64_t cluster = relative / sectorsPerCluster_;
  if (cluster < clusterCount_) {
    uint32_t freeIndex = FindFrom(static_cast<uint32_t>(cluster), false);
    if (freeIndex != cluster) relative = static_cast<uint64_t>(freeIndex) * sectorsPerCluster_;
    uint32_t usedIndex = FindFrom(freeIndex, true);
    count = static_cast<uint64_t>(usedIndex) * sectorsPerCluster_ - relative;
  }
  sector = relative + firstDataSector_;
  if (sector >= volumeSectors) {
    count = 0;
  } else {
    count = std::min(count, volumeSectors - sector);
  }
}

bool FatUsageMap::NextFreeClusters(uint32_t from, uint32_t& first, uint32_t& end) const {
  if (!built_ || from >= clusterCount_ + 2) return false;
  uint32_t freeIndex = FindFrom(from < 2 ? 0 : from - 2, false);
  if (freeIndex >= clusterCount_) return false;
  first = freeIndex + 2;
  end = FindFrom(freeIndex, true) + 2;
  return true;
}

}  // namespace salvora
