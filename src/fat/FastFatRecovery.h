#pragma once
// The quick engine for FAT12/16/32 volumes: walks the directory tree that
// is still on the volume and lists every deleted file (and every file below
// a deleted folder) with the folders above it; copies them out along their
// FAT chains; and tells a deep scan which clusters are free.
#include <cstdint>
#include <memory>
#include <string>

#include "fat/FatBootSector.h"
#include "fat/FatTable.h"
#include "fat/FatUsageMap.h"
#include "fat/FatVolumeReader.h"
#include "storage/StoreEngine.h"

namespace salvora {

class CFastFatRecovery : public StoreEngine {
 public:
  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int Scan(const char* savedStoreName) override;
  int BuildUsageMap() override;
  int NextFreeRange(uint64_t& sector, uint64_t& count) override;

  // The layout read from the boot sector; null when it was not usable.
  const FatLayout* Layout() const { return fat_ ? &volume_.layout : nullptr; }

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;
  uint64_t RootFolderKey() const override;

 private:
  // Reads the boot block and takes the volume's own sector size.
  int ReadBootBlock();
  int WalkTree();

  FatVolumeReader volume_;
  std::unique_ptr<FatTable> fat_;
  FatUsageMap usageMap_;
};

}  // namespace salvora
