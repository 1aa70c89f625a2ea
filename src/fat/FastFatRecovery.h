#pragma once
// The quick engine for FAT12/16/32 volumes: walks the directory tree that
// is still on the volume and lists every deleted file (and every file below
// a deleted folder) with the folders above it; copies them out along their
// FAT chains; and tells a deep scan which clusters are free.
#include <cstdint>
#include <memory>
#include <string>

#include "clusters/FatTable.h"
#include "clusters/FatVolumeReader.h"
#include "clusters/QuickTreeEngine.h"
#include "fat/FatBootSector.h"
#include "fat/FatUsageMap.h"

namespace salvora {

class CFastFatRecovery : public QuickTreeEngine {
 public:
  int BuildUsageMap() override;
  int NextFreeRange(uint64_t& sector, uint64_t& count) override;

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;
  uint64_t RootFolderKey() const override;
  // Reads the boot block and takes the volume's own sector size.
  int OpenVolume() override;
  std::unique_ptr<TreeWalk> MakeWalk() override;

 private:
  FatVolumeReader volume_;
  std::unique_ptr<FatTable> fat_;
  FatUsageMap usageMap_;
};

}  // namespace salvora
