#include "app/ItemJobs.h"

namespace salvora {

JobSource JobSourceOf(const DiskListItem& item) {
  JobSource source;
  source.sourceTag = item.key;
  if (item.IsImage()) {
    source.imagePath = item.imagePath;
    return source;
  }
  const PartitionRecord& record = *item.record;
  source.diskPath = record.diskPath;
  source.listedDiskNumber = static_cast<uint32_t>(record.diskNumber);
  source.firstSector = static_cast<uint64_t>(record.start);
  source.sectorCount = static_cast<uint64_t>(record.length);
  return source;
}

std::vector<CollectSource> CollectSourcesOf(const std::vector<DiskListItem*>& items) {
  std::vector<CollectSource> sources;
  for (DiskListItem* item : items) sources.push_back({item->engine.get(), item->key});
  return sources;
}

std::vector<RecoverySource> RecoverySourcesOf(const std::vector<DiskListItem*>& items) {
  std::vector<RecoverySource> sources;
  for (DiskListItem* item : items) sources.push_back({item->key, item->engine.get(), {}});
  return sources;
}

}  // namespace salvora
