#pragma once
// The quick engine for ext2, ext3 and ext4 volumes: walks the directory
// tree with the history the journal keeps and lists every deleted file and
// folder that a version of its inode still maps, under its folder; copies
// them out; and hands a deep scan the block bitmaps as its map of free
// space.
#include <cstdint>
#include <memory>

#include "clusters/QuickTreeEngine.h"
#include "ext/ExtDeletedInode.h"
#include "ext/ExtVolume.h"

namespace salvora {

class CFastExtRecovery : public QuickTreeEngine {
 public:
  int BuildUsageMap() override;
  int NextFreeRange(uint64_t& sector, uint64_t& count) override;
  // The absolute sector where a found file's data begins; false for a file
  // without data or whose start is a hole.
  bool FirstDataSector(const FoundRecord& record, uint64_t& sector);

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;
  uint64_t RootFolderKey() const override;
  int OpenVolume() override;
  std::unique_ptr<TreeWalk> MakeWalk() override;

 private:
  bool FreeRangesUsable() const;

  ExtVolume volume_;
  std::unique_ptr<ExtDeletedInodes> deleted_;
};

}  // namespace salvora
