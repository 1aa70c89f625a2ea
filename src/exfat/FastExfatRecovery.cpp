#include "exfat/FastExfatRecovery.h"

#include "exfat/ExfatDirectoryWalk.h"
#include "fat/FatScanProgress.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {

int CFastExfatRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenImageSource(imagePath, sourceTag);
  if (result != kOk) return result;
  opened_ = true;
  return OpenVolume();
}

int CFastExfatRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                 uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag);
  if (result != kOk) return result;
  opened_ = true;
  return OpenVolume();
}

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

int CFastExfatRecovery::Scan(const char* savedStoreName) {
  if (savedStoreName) return OpenStoreNamed(savedStoreName);
  int result =
      OpenNewStoreNamed(FormatStoreName(kQuickStorePrefix, static_cast<int64_t>(firstSector_)));
  if (result != kOk) return result;
  // A volume whose boot region cannot be used has no tree to walk; the scan
  // finds nothing rather than failing, so that a deep scan that runs this
  // engine first still goes on to look at the sectors themselves.
  if (!volume_.IsOpen()) {
    // Unless the disk would not even give the boot region: that is told.
    result = ReportScan(100, 0, 0, 0, 0);
    return result != kOk ? result : source_.FirstFailure();
  }
  return WalkTree();
}

// A cancel stops the walk, but the folders above what was found are still
// written, so that a cancelled scan shows a consistent tree. A folder the
// disk would not give is passed over; the scan keeps what it found and ends
// with the read's error.
int CFastExfatRecovery::WalkTree() {
  ExfatDirectoryWalk walk(volume_.Reader(), volume_.Fat(), volume_.Bitmap(), store_, sourceTag_);
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

int CFastExfatRecovery::BuildUsageMap() {
  return volume_.IsOpen() && volume_.FreeRangesUsable() ? kOk : kInvalidParameter;
}

int CFastExfatRecovery::NextFreeRange(uint64_t& sector, uint64_t& count) {
  if (!volume_.IsOpen() || !volume_.FreeRangesUsable()) return 0;
  volume_.Bitmap()->NextFreeRange(sector, count);
  return 1;
}

int CFastExfatRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  return volume_.CopyFile(record, sink);
}

}  // namespace salvora
