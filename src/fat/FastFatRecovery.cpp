#include "fat/FastFatRecovery.h"

#include <algorithm>
#include <vector>

#include "fat/FatDirectoryWalk.h"
#include "fat/FatFileCopy.h"
#include "platform/ErrorCodes.h"

namespace salvora {

int CFastFatRecovery::OpenVolume() {
  std::vector<uint8_t> block(kFatBootBlockBytes);
  uint32_t sectors = static_cast<uint32_t>(kFatBootBlockBytes / sectorSize_);
  uint32_t got = 0;
  ReadVolumeSectors(0, sectors == 0 ? 1 : sectors, block.data(), got);
  size_t bytes = static_cast<size_t>(got) * sectorSize_;
  FatLayout layout;
  if (!RecognizeFatBootSector(block.data(), std::min(bytes, block.size()), layout))
    return kInvalidParameter;
  // From here on sectors are counted in the volume's own sector size.
  uint64_t startByte = firstSector_ * static_cast<uint64_t>(sectorSize_);
  if (startByte % layout.bytesPerSector != 0) return kInvalidParameter;
  sectorCount_ = sectorCount_ * static_cast<uint64_t>(sectorSize_) / layout.bytesPerSector;
  firstSector_ = startByte / layout.bytesPerSector;
  sectorSize_ = static_cast<int>(layout.bytesPerSector);
  layout.LimitTo(sectorCount_);
  volume_.source = &source_;
  volume_.firstSector = firstSector_;
  volume_.layout = layout;
  fat_ = std::make_unique<FatTable>(volume_);
  return kOk;
}

uint64_t CFastFatRecovery::RootFolderKey() const {
  return FolderKey(fat_ ? volume_.layout.rootCluster : 0, 0);
}

std::unique_ptr<TreeWalk> CFastFatRecovery::MakeWalk() {
  if (!fat_) return nullptr;
  if (!usageMap_.Built()) usageMap_.Build(*fat_);
  return std::make_unique<FatDirectoryWalk>(volume_, *fat_, store_, sourceTag_, usageMap_);
}

int CFastFatRecovery::BuildUsageMap() {
  if (!fat_) return kInvalidParameter;
  usageMap_.Build(*fat_);
  return kOk;
}

int CFastFatRecovery::NextFreeRange(uint64_t& sector, uint64_t& count) {
  if (!usageMap_.Built()) return 0;
  usageMap_.NextFreeRange(sectorCount_, sector, count);
  return 1;
}

int CFastFatRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  if (!fat_) return kInvalidParameter;
  return CopyFatFile(volume_, fat_.get(), record, sink);
}

}  // namespace salvora
