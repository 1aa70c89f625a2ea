#pragma once
// The quick engine for exFAT volumes (camera cards, USB sticks): walks the
// directory tree that is still on the volume and lists every deleted file
// (and every file below a deleted folder) with the folders above it; copies
// them out along their runs or FAT chains; and hands a deep scan the
// allocation bitmap as its map of free clusters.
#include <cstdint>
#include <string>

#include "clusters/QuickTreeEngine.h"
#include "exfat/ExfatVolume.h"

namespace salvora {

class CFastExfatRecovery : public QuickTreeEngine {
 public:
  int BuildUsageMap() override;
  int NextFreeRange(uint64_t& sector, uint64_t& count) override;

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;
  uint64_t RootFolderKey() const override;
  // Opens the volume and from then on counts in its own sectors.
  int OpenVolume() override;
  std::unique_ptr<TreeWalk> MakeWalk() override;

 private:
  ExfatVolume volume_;
};

}  // namespace salvora
