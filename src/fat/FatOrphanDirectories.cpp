#include "fat/FatOrphanDirectories.h"

#include <algorithm>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// One read covers at most this much of a free run.
constexpr uint32_t kBatchBytes = 1 << 20;
// Up to this cluster size a run is read whole, since one large read costs
// less than a read per cluster; larger clusters are read one sector each,
// so that a mostly empty volume is not read in full.
constexpr uint32_t kWholeRunClusterBytes = 4096;
// What the search may read in all: a quick scan must stay quick on a large,
// mostly empty volume. Writers fill a FAT volume from its start, so the
// first free clusters are the likeliest to hold a lost directory; the rest
// is left to a deep scan.
constexpr uint64_t kSearchBudgetBytes = 256ull << 20;

class OrphanSearch {
 public:
  OrphanSearch(const FatVolumeReader& volume, const std::function<bool(uint32_t)>& alreadyWalked)
      : volume_(volume),
        layout_(volume.layout),
        alreadyWalked_(alreadyWalked),
        wholeRuns_(layout_.ClusterBytes() <= kWholeRunClusterBytes),
        batchClusters_(wholeRuns_ ? kBatchBytes / layout_.ClusterBytes() : 1),
        buffer_(static_cast<size_t>(batchClusters_) * layout_.ClusterBytes()) {}

  // False once the budget is spent or the disk fails: a disk that fails in
  // free space is left to a deep scan, which reads it with more care.
  bool SearchRun(uint32_t first, uint32_t end) {
    for (uint32_t cluster = first; cluster < end;) {
      uint32_t clusters = std::min(end - cluster, batchClusters_);
      uint32_t sectors = wholeRuns_ ? clusters * layout_.sectorsPerCluster : 1;
      uint64_t bytes = static_cast<uint64_t>(sectors) * layout_.bytesPerSector;
      if (bytes > budgetBytes_) return false;
      budgetBytes_ -= bytes;
      if (!ReadBatch(cluster, clusters, sectors)) return false;
      cluster += clusters;
    }
    return true;
  }

  std::vector<OrphanDirectory> Take() { return std::move(found_); }

 private:
  // Looks at what arrived; false when the read failed.
  bool ReadBatch(uint32_t firstCluster, uint32_t clusters, uint32_t sectors) {
    uint32_t got = 0;
    int result = volume_.TryRead(layout_.ClusterSector(firstCluster), sectors, buffer_.data(), got);
    size_t bytes = static_cast<size_t>(got) * layout_.bytesPerSector;
    for (uint32_t index = 0; index < clusters; ++index) {
      size_t offset = static_cast<size_t>(index) * layout_.ClusterBytes();
      if (offset + layout_.bytesPerSector > bytes) break;
      Inspect(firstCluster + index, buffer_.data() + offset);
    }
    return result == kOk;
  }

  void Inspect(uint32_t cluster, const uint8_t* sector) {
    if (!StartsWithDotPair(sector, layout_.bytesPerSector) || alreadyWalked_(cluster)) return;
    OrphanDirectory orphan;
    orphan.cluster = cluster;
    orphan.dot = LoadDirEntry(sector);
    // A "." naming another cluster is a copy of a directory inside some
    // file's data (a deleted disk image, say), not a directory.
    if (EntryCluster(orphan.dot, layout_.IsFat32()) != cluster) return;
    orphan.parent = EntryCluster(LoadDirEntry(sector + kDirEntryBytes), layout_.IsFat32());
    if (orphan.parent == 0) orphan.parent = layout_.rootCluster;
    found_.push_back(orphan);
  }

  const FatVolumeReader& volume_;
  const FatLayout& layout_;
  const std::function<bool(uint32_t)>& alreadyWalked_;
  bool wholeRuns_;
  uint32_t batchClusters_;
  std::vector<uint8_t> buffer_;
  uint64_t budgetBytes_ = kSearchBudgetBytes;
  std::vector<OrphanDirectory> found_;
};

}  // namespace

std::vector<OrphanDirectory> FindOrphanDirectories(
    const FatVolumeReader& volume, const FatUsageMap& usage,
    const std::function<bool(uint32_t)>& alreadyWalked) {
  OrphanSearch search(volume, alreadyWalked);
  uint32_t first = 0, end = 0;
  for (uint32_t from = 2; usage.NextFreeClusters(from, first, end); from = end)
    if (!search.SearchRun(first, std::min(end, volume.layout.MaxCluster() + 1))) break;
  return search.Take();
}

}  // namespace salvora
