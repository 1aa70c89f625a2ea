#pragma once
// The folder tree of a deep FAT sweep. Files are written to the store as
// soon as their volume is known; folders only at the end of the sweep, once
// every directory above a found file has been met, either through its entry
// in its parent or, when that entry is gone, as a lost folder found through
// the ".." links on disk.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "fat/FatDeepBlockParser.h"
#include "fat/FatDeepProbes.h"
#include "fat/FatDeepVolume.h"
#include "results/ScanResultStore.h"

namespace salvora {

class FatDeepTree {
 public:
  FatDeepTree(ScanResultStore& store, FatDeepReader& reader, const FatDeepVolumes& volumes,
              const uint16_t& sourceTag)
      : store_(store), reader_(reader), volumes_(volumes), sourceTag_(sourceTag) {}

  // Forgets the sweep; the root cluster stays.
  void Clear();
  // The root directory's cluster: the boot sector's FAT32 root, 0 for the
  // fixed FAT12/16 root.
  void SetRootCluster(uint32_t cluster) { rootCluster_ = cluster; }
  uint32_t RootCluster() const { return rootCluster_; }

  // A folder's entry, found in directory `parent` (volume kNone when the
  // directory's volume is not known yet).
  void NoteFolder(const FatDeepEntry& folder, uint32_t cluster, uint32_t parent, int volume,
                  uint64_t entrySector);
  // Writes a file found in `directory` of volume `volume` and remembers the
  // directories above it.
  void AddFile(const FatDeepEntry& file, int volume, uint32_t directory, uint64_t entrySector);
  // Writes every directory met above a file, in cluster order.
  void EmitFolders();

 private:
  struct FolderEntry {
    uint32_t parent = 0;
    int volume = FatDeepVolumes::kNone;
    uint64_t entrySector = 0;
    EntryTimes times;
    std::string name;
  };
  struct DirectoryMet {
    int volume = 0;
    uint64_t sector = 0;
  };
  struct Found {
    bool isFolder = false;
    uint32_t cluster = 0;
    uint64_t size = 0;
    EntryTimes times;
    uint64_t entrySector = 0;
    uint32_t contentOk = 1;
  };

  uint32_t Depth(int volume, uint32_t cluster);
  // Depth 0 is the root, whatever cluster the walk started from: every root
  // shares the key the root listing shows.
  uint32_t KeyCluster(uint32_t cluster, uint32_t depth) const {
    return depth == 0 ? rootCluster_ : cluster;
  }
  void RegisterAncestors(int volume, uint32_t directory);
  void EmitFolder(uint32_t cluster, const DirectoryMet& met);
  uint32_t Append(const FatDeepVolume& volume, const Found& found, const std::string& name);

  ScanResultStore& store_;
  FatDeepReader& reader_;
  const FatDeepVolumes& volumes_;
  const uint16_t& sourceTag_;
  uint32_t rootCluster_ = 2;
  std::unordered_map<uint32_t, FolderEntry> folders_;
  std::map<uint32_t, DirectoryMet> directoriesMet_;
  std::unordered_map<uint64_t, uint32_t> depthCache_;
};

}  // namespace salvora
