#include "ext/FastExtRecovery.h"

#include "ext/ExtFileCopy.h"
#include "ext/ExtTreeWalk.h"
#include "platform/ErrorCodes.h"

namespace salvora {

int CFastExtRecovery::OpenVolume() {
  int result = volume_.Open(std::make_unique<ExtSectorBytes>(
      source_, firstSector_, sectorCount_, static_cast<uint32_t>(sectorSize_)));
  if (result == kOk) deleted_ = std::make_unique<ExtDeletedInodes>(volume_);
  return result;
}

uint64_t CFastExtRecovery::RootFolderKey() const { return FolderKey(kExtRootInode, 0); }

std::unique_ptr<TreeWalk> CFastExtRecovery::MakeWalk() {
  if (!volume_.IsOpen()) return nullptr;
  ExtVolumePlace place{firstSector_, static_cast<uint32_t>(sectorSize_), sourceTag_};
  return std::make_unique<ExtTreeWalk>(volume_, *deleted_, store_, place);
}

int CFastExtRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  if (!volume_.IsOpen()) return kInvalidParameter;
  return CopyExtFile(volume_, deleted_->Resolve(record.firstCluster, record.isFolder != 0), sink);
}

bool CFastExtRecovery::FirstDataSector(const FoundRecord& record, uint64_t& sector) {
  if (!volume_.IsOpen() || record.isFolder) return false;
  const ExtResolved& resolved = deleted_->Resolve(record.firstCluster, false);
  if (resolved.state != ExtResolution::kRecovered || resolved.runs.empty()) return false;
  const ExtRun& first = resolved.runs.front();
  if (first.logical != 0 || first.unwritten) return false;
  sector = firstSector_ +
           first.physical * volume_.Superblock().blockSize / static_cast<uint32_t>(sectorSize_);
  return true;
}

bool CFastExtRecovery::FreeRangesUsable() const {
  const ExtSuperblock& sb = volume_.Superblock();
  return volume_.IsOpen() && !sb.BigAlloc() && sectorSize_ > 0 &&
         sb.blockSize % static_cast<uint32_t>(sectorSize_) == 0;
}

int CFastExtRecovery::BuildUsageMap() {
  if (!FreeRangesUsable()) return kInvalidParameter;
  volume_.BlockInUse(0);
  return kOk;
}

int CFastExtRecovery::NextFreeRange(uint64_t& sector, uint64_t& count) {
  if (!FreeRangesUsable()) return 0;
  uint64_t perBlock = volume_.Superblock().blockSize / static_cast<uint32_t>(sectorSize_);
  uint64_t block = sector / perBlock, blocks = 0;
  if (!volume_.NextFreeBlocks(block, blocks)) {
    sector = sectorCount_;
    count = 0;
    return 1;
  }
  uint64_t start = std::max(block * perBlock, sector);
  count = (block + blocks) * perBlock - start;
  sector = start;
  return 1;
}

}  // namespace salvora
