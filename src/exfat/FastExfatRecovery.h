#pragma once
// The quick engine for exFAT volumes (camera cards, USB sticks): walks the
// directory tree that is still on the volume and lists every deleted file
// (and every file below a deleted folder) with the folders above it; copies
// them out along their runs or FAT chains; and hands a deep scan the
// allocation bitmap as its map of free clusters.
#include <cstdint>
#include <memory>
#include <string>

#include "fat/FatTable.h"
#include "fat/FatVolumeReader.h"
#include "ntfs/ClusterUsageMap.h"
#include "storage/StoreEngine.h"

namespace salvora {

class CFastExfatRecovery : public StoreEngine {
 public:
  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int Scan(const char* savedStoreName) override;
  int BuildUsageMap() override;
  int NextFreeRange(uint64_t& sector, uint64_t& count) override;

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;
  uint64_t RootFolderKey() const override;

 private:
  // Finds a whole boot region (the backup when the main one is damaged) and
  // takes the volume's own sector size.
  int ReadBootRegion();
  // Reads the allocation bitmap once; false when the volume has none that
  // can be read.
  bool LoadBitmap();
  int WalkTree();

  FatVolumeReader volume_;
  std::unique_ptr<FatTable> fat_;
  // The allocation bitmap, placed in the sectors the engine's caller counts
  // in (those it was opened with), since free ranges are answered in them.
  ClusterUsageMap bitmap_;
  bool bitmapTried_ = false;
  bool freeRangesUsable_ = false;
  uint32_t callerSectorBytes_ = 512;
  uint64_t callerSectorCount_ = 0;
};

}  // namespace salvora
