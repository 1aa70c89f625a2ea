#pragma once
// The entry sets a deep sweep met in free space (a camera's format leaves
// the old folders' clusters in the heap, their sets still whole), rebuilt
// into a tree: a set lies in the cluster range of the folder whose own set
// names that range, so folders are found from their contents' positions.
// Sets whose folder is not found (the old root, which a new root covers,
// or a folder whose set was lost) come out at the top.
#include <cstdint>
#include <map>
#include <vector>

#include "clusters/ClusterProbe.h"
#include "clusters/FatVolumeReader.h"
#include "exfat/ExfatEntrySet.h"
#include "results/ScanResultStore.h"

namespace salvora {

class ExfatDeepTree {
 public:
  // Keeps a set whose stream extension lies at volume sector `streamSector`
  // (absolute, in the volume's own sectors).
  void Add(const ExfatEntrySet& set, uint64_t streamSector);
  bool Empty() const { return found_.empty(); }
  void Clear();

  // Writes every kept file, and the folders above them, into `store`,
  // placed on `volume`. Files whose data could not lie in its heap are left
  // out. Forgets what it kept.
  void Write(const FatVolumeReader& volume, ScanResultStore& store, uint16_t sourceTag);

 private:
  struct Found {
    ExfatEntrySet set;
    uint64_t streamSector = 0;
    int parent = -1;     // index of the folder it lies in
    uint32_t depth = 0;  // folders: levels below the top, once known
    bool aboveAFile = false;
  };

  // The folders by their first cluster, and for each set the folder whose
  // clusters hold it.
  void PlaceSets(const FatLayout& layout, uint64_t volumeFirstSector);
  int FolderHolding(const FatLayout& layout, uint64_t volumeFirstSector, uint64_t sector) const;
  void CutLoops();
  // Levels below the top of a folder (1: a folder at the top).
  uint32_t DepthOf(size_t index);
  void WriteFolder(size_t index, const FoundRecord& base, ScanResultStore& store);

  std::vector<Found> found_;
  std::map<uint32_t, size_t> folders_;  // first cluster -> index in found_
};

}  // namespace salvora
