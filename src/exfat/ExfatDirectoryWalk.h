#pragma once
// The quick scan's walk of an exFAT directory tree: from the root through
// every folder an entry set still names, live or deleted, recording each
// deleted file and each file below a deleted folder, and afterwards the
// folders on the way to them. exFAT folders carry no "." entry that would
// say whether a cluster still holds them, so a deleted folder is walked
// only while the allocation bitmap shows its first cluster free: once
// something else took it, its entries are gone (and on a volume whose
// bitmap cannot be read, deleted folders are not walked at all). Each folder
// is walked once, and each cluster of its chain once, so loops between
// folders and within a FAT chain end.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "clusters/ClusterProbe.h"
#include "clusters/ClusterUsageMap.h"
#include "clusters/FatTable.h"
#include "clusters/FatVolumeReader.h"
#include "clusters/QuickTreeEngine.h"
#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatSlotWindow.h"
#include "results/ScanResultStore.h"

namespace salvora {

// exFAT caps a folder at 256 MiB of entries.
constexpr uint64_t kMaxExfatDirectoryBytes = 256ull << 20;

class ExfatDirectoryWalk final : public TreeWalk {
 public:
  // `bitmap` is null when the volume's bitmap cannot be read.
  ExfatDirectoryWalk(const FatVolumeReader& volume, FatTable& fat, const ClusterUsageMap* bitmap,
                     ScanResultStore& store, uint16_t sourceTag);

  int Run(const std::function<int()>& betweenFolders) override;
  void WriteAncestorFolders() override;

 private:
  struct Folder {
    FoundRecord record{};
    ExfatStream stream;
    uint32_t parent = 0;
    uint32_t depth = 0;
    bool deleted = false;  // its own set, or one above it, was deleted
  };

  void WalkFolder(uint32_t cluster);
  // Reads `bytes` of a folder cluster into the window and hands out the sets
  // completed; false when the folder ends there (its end mark, or a read
  // that failed).
  bool ReadPiece(uint32_t cluster, uint64_t bytes, const ExfatSlotWindow::SetHandler& onSet);
  void HandleSet(const Folder& folder, uint32_t cluster, const ExfatEntrySet& set,
                 uint64_t streamSector);
  void AddFolder(const Folder& parent, uint32_t parentCluster, const ExfatEntrySet& set);
  void RecordFile(const Folder& parent, uint32_t parentCluster, const ExfatEntrySet& set,
                  uint64_t streamSector);
  FoundRecord BaseRecord(const ExfatEntrySet& set) const;
  // Data that claims more than the heap holds, or starts outside it, is a
  // broken set, not a file.
  bool PlausibleData(const ExfatStream& stream) const;
  void MarkAncestors(uint32_t cluster);
  bool IsRoot(uint32_t cluster) const { return cluster == volume_.layout.rootCluster; }

  FatVolumeReader volume_;
  FatTable& fat_;
  const ClusterUsageMap* bitmap_;
  ScanResultStore& store_;
  uint16_t sourceTag_;
  ClusterProbe probe_;
  ExfatSlotWindow window_{true};
  std::vector<uint8_t> unit_;
  std::unordered_map<uint32_t, Folder> folders_;  // every folder met, by first cluster
  std::deque<uint32_t> pending_;
  std::unordered_set<uint32_t> chain_;  // clusters of the folder being walked
  std::vector<uint32_t> ancestors_;
  std::unordered_set<uint32_t> onAncestorList_;
};

}  // namespace salvora
