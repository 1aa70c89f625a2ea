#include "exfat/FastExfatRecovery.h"

#include "exfat/ExfatDirectoryWalk.h"
#include "exfat/ExfatRebuiltCopy.h"
#include "platform/ErrorCodes.h"

namespace salvora {

int CFastExfatRecovery::OpenVolume() {
  int result =
      volume_.Open(source_, firstSector_, sectorCount_, static_cast<uint32_t>(sectorSize_));
  if (result != kOk) return result;
  firstSector_ = volume_.FirstSector();
  sectorCount_ = volume_.SectorCount();
  sectorSize_ = static_cast<int>(volume_.Layout().bytesPerSector);
  return kOk;
}

uint64_t CFastExfatRecovery::RootFolderKey() const {
  return FolderKey(volume_.IsOpen() ? volume_.Layout().rootCluster : 0, 0);
}

std::unique_ptr<TreeWalk> CFastExfatRecovery::MakeWalk() {
  if (!volume_.IsOpen()) return nullptr;
  return std::make_unique<ExfatDirectoryWalk>(volume_.Reader(), volume_.Fat(), volume_.Bitmap(),
                                              store_, sourceTag_);
}

int CFastExfatRecovery::BuildUsageMap() {
  return volume_.IsOpen() && volume_.FreeRangesUsable() ? kOk : kInvalidParameter;
}

int CFastExfatRecovery::NextFreeRange(uint64_t& sector, uint64_t& count) {
  if (!volume_.IsOpen() || !volume_.FreeRangesUsable()) return 0;
  volume_.Bitmap()->NextFreeRange(sector, count);
  return 1;
}

// Only deleting clears chains here: a live file follows its FAT.
int CFastExfatRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  int result = kOk;
  if (record.isDeleted && volume_.IsOpen() &&
      CopyRebuiltExfatFile(source_, sectorSize_, volume_.Layout(), record, sink, result))
    return result;
  return volume_.CopyFile(record, sink);
}

}  // namespace salvora
