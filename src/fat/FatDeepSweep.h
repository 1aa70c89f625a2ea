#pragma once
// The state of one deep FAT sweep: the volumes learnt so far, and what
// waits for a volume (directory sectors, files, long names cut at a sector
// end). Sectors arrive in ascending order; whatever cannot be placed when it
// arrives is placed at the end.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fat/FatDeepChains.h"
#include "fat/FatDeepPending.h"
#include "fat/FatDeepProbes.h"
#include "fat/FatDeepTree.h"
#include "fat/FatDeepVolume.h"
#include "results/ScanResultStore.h"

namespace salvora {

class FatDeepSweep {
 public:
  // `partitionStart` and `sourceTag` are the engine's, read at each use.
  FatDeepSweep(ScanResultStore& store, SectorSource& source, const int& sectorSize,
               const uint64_t& partitionStart, const uint16_t& sourceTag);

  void Clear();
  // Forgets which volume explained the last directory sector.
  void ForgetLastPlace() { lastPlace_ = {}; }
  void RegisterBootVolume();
  void DirectoryStart(const uint8_t* sector, uint64_t absoluteSector);
  void DirectoryEntries(const uint8_t* sector, uint64_t absoluteSector);
  void Finish();

  const FatDeepVolumes& Volumes() const { return volumes_; }
  uint32_t RootCluster() const { return tree_.RootCluster(); }

 private:
  struct LastPlace {
    bool known = false;
    int volume = 0;
    uint32_t cluster = 0;
    uint64_t sector = 0;
  };
  enum class Unexplained { kKeep, kNearestVolume };

  void ClearWaiting();
  size_t SectorBytes() const { return static_cast<size_t>(sectorSize_); }
  void PlaceEntries(const uint8_t* sector, size_t length, uint64_t absoluteSector,
                    Unexplained unexplained);
  // Parses a block and then joins any long name cut at its end with a kept
  // sector that continues it.
  void ParseAndJoin(const uint8_t* block, size_t length, int volume, uint32_t cluster,
                    uint64_t blockSector, uint64_t lastSector);
  bool ParseBlock(const uint8_t* block, size_t length, int volume, uint32_t cluster,
                  uint64_t blockSector, uint64_t lastSector, OpenChain& cut);
  bool TakeKeptContinuation(const OpenChain& chain, uint64_t& sector, std::vector<uint8_t>& bytes);
  void PlacePendingFiles();
  void PlaceGroup(const FatDeepPendingFiles::Group& group, int volume);

  FatDeepReader reader_;
  const int& sectorSize_;
  const uint64_t& partitionStart_;
  FatDeepVolumes volumes_;
  FatDeepTree tree_;
  FatDeepOpenChains openChains_;
  FatDeepUnplacedSectors unplaced_;
  FatDeepPendingFiles pending_;
  LastPlace lastPlace_;
  size_t volumesPlacingPending_ = 0;
  FatDeepBlock parsed_;
};

}  // namespace salvora
