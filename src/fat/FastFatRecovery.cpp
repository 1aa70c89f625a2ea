#include "fat/FastFatRecovery.h"

#include <algorithm>
#include <vector>

#include "fat/FatDirectoryWalk.h"
#include "fat/FatFileCopy.h"
#include "fat/FatScanProgress.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {

int CFastFatRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenImageSource(imagePath, sourceTag);
  if (result != kOk) return result;
  opened_ = true;
  return ReadBootBlock();
}

int CFastFatRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                               uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag);
  if (result != kOk) return result;
  opened_ = true;
  return ReadBootBlock();
}

int CFastFatRecovery::ReadBootBlock() {
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

int CFastFatRecovery::Scan(const char* savedStoreName) {
  if (savedStoreName) return OpenStoreNamed(savedStoreName);
  int result =
      OpenNewStoreNamed(FormatStoreName(kQuickStorePrefix, static_cast<int64_t>(firstSector_)));
  if (result != kOk) return result;
  // A volume whose boot sector cannot be used has no tree to walk; the scan
  // finds nothing rather than failing, so that a deep scan that runs this
  // engine first still goes on to look at the sectors themselves.
  if (!fat_) {
    // Unless the disk would not even give the boot sector: that is told.
    result = ReportScan(100, 0, 0, 0, 0);
    return result != kOk ? result : source_.FirstFailure();
  }
  return WalkTree();
}

// A cancel stops the walk, but the folders above what was found are still
// written, so that a cancelled scan shows a consistent tree. A directory the
// disk would not give is passed over; the scan keeps what it found and ends
// with the read's error.
int CFastFatRecovery::WalkTree() {
  FatDirectoryWalk walk(volume_, *fat_, store_, sourceTag_);
  auto found = [this] { return static_cast<uint64_t>(store_.GetRecordCount()); };
  FatScanProgress progress(percentScale_, [this, &found](int32_t percent, int32_t secondsLeft) {
    return ReportScan(percent, secondsLeft, 0, 0, found());
  });
  int result = progress.Start();
  if (result == kOk) result = walk.Run([&progress] { return progress.Tick(); });
  if (result == kOk) result = ReportScan(80, 10, 0, 0, found());
  walk.WriteAncestorFolders();
  int flushed = store_.Flush();
  if (result == kOk) result = ReportScan(100, 0, 0, 0, found());
  if (result == kOk) result = flushed;
  return result != kOk ? result : source_.FirstFailure();
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
