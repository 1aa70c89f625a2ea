#pragma once
// The quick scan's walk of a FAT directory tree: from the root through
// every directory that an entry still names, live or deleted, recording
// each deleted file and each file below a deleted folder, and afterwards
// the folders on the way to them. Each directory cluster is read once and
// walked once, so loops between directories end. Directories that no entry
// names any more but whose start lies in a free cluster are walked last,
// each as a lost folder under the parent its ".." names, or under the root.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "clusters/FatTable.h"
#include "clusters/FatVolumeReader.h"
#include "clusters/QuickTreeEngine.h"
#include "fat/FatClusterProbe.h"
#include "fat/FatDirEntry.h"
#include "fat/FatOrphanDirectories.h"
#include "fat/FatUsageMap.h"
#include "results/ScanResultStore.h"

namespace salvora {

class FatDirectoryWalk final : public TreeWalk {
 public:
  // `usage` tells the free clusters to search for lost directories.
  FatDirectoryWalk(const FatVolumeReader& volume, FatTable& fat, ScanResultStore& store,
                   uint16_t sourceTag, const FatUsageMap& usage);

  int Run(const std::function<int()>& betweenDirectories) override;
  void WriteAncestorFolders() override;

 private:
  // A directory met in an entry: its folder record and the directory that
  // holds the entry. Several entries may name one cluster (a deleted folder
  // whose cluster a new folder took); the walk picks the one the
  // directory's own ".." entry confirms.
  struct FolderEntry {
    FoundRecord record;
    uint32_t parent = 0;
  };
  struct WalkedFolder {
    FolderEntry entry;
    uint32_t depth = 0;
  };
  // What one directory's walk needs while it reads its clusters.
  struct DirectoryState {
    uint32_t cluster = 0;
    bool parentDeleted = false;
    uint32_t depth = 0;
    LongNameCollector longName;
  };

  int WalkPending(const std::function<int()>& betweenDirectories);
  int WalkOrphans(const std::function<int()>& betweenDirectories);
  void AddOrphanFolder(const OrphanDirectory& orphan);
  int WalkDirectory(uint32_t cluster);
  // Decides whether the directory's first unit still holds it and which
  // entry named it; false when it is not walked.
  bool AdoptDirectory(uint32_t cluster, const uint8_t* firstUnit, size_t bytes,
                      DirectoryState& state);
  // Handles one read unit; false when the directory ends inside it.
  bool WalkUnit(DirectoryState& state, const uint8_t* data, size_t bytes, uint64_t unitSector);
  void HandleShortEntry(DirectoryState& state, const FatDirEntry& entry, uint64_t entrySector);
  void AddFolder(const DirectoryState& state, const FatDirEntry& entry, const std::string& name);
  void RecordFile(const DirectoryState& state, const FatDirEntry& entry, const std::string& name,
                  uint64_t entrySector);
  FoundRecord BaseRecord(const FatDirEntry& entry, const std::string& name) const;
  void MarkAncestors(uint32_t cluster);
  bool IsRoot(uint32_t cluster) const { return cluster == volume_.layout.rootCluster; }

  FatVolumeReader volume_;
  FatTable& fat_;
  ScanResultStore& store_;
  uint16_t sourceTag_;
  const FatUsageMap& usage_;
  FatClusterProbe probe_;
  std::vector<uint8_t> unit_;
  std::unordered_map<uint32_t, std::vector<FolderEntry>> discovered_;
  std::unordered_set<uint32_t> visited_;
  std::unordered_map<uint32_t, WalkedFolder> walked_;
  std::deque<uint32_t> pending_;
  std::vector<uint32_t> ancestors_;
  std::unordered_set<uint32_t> onAncestorList_;
  std::unordered_set<uint32_t> chain_;  // clusters of the directory being walked
};

}  // namespace salvora
