#include "clusters/QuickTreeEngine.h"

#include "clusters/WalkProgress.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {

int QuickTreeEngine::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = StoreEngine::OpenImage(imagePath, sourceTag);
  return result != kOk ? result : OpenVolume();
}

int QuickTreeEngine::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                              uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = StoreEngine::OpenDisk(diskNumber, firstSector, sectorCount, sourceTag);
  return result != kOk ? result : OpenVolume();
}

int QuickTreeEngine::Scan(const char* savedStoreName) {
  if (savedStoreName) return OpenStoreNamed(savedStoreName);
  int result =
      OpenNewStoreNamed(FormatStoreName(kQuickStorePrefix, static_cast<int64_t>(firstSector_)));
  if (result != kOk) return result;
  std::unique_ptr<TreeWalk> walk = MakeWalk();
  if (walk) return WalkTree(*walk);
  // A volume whose boot sector cannot be used has no tree to walk; the scan
  // finds nothing rather than failing, so that a deep scan that runs this
  // engine first still goes on to look at the sectors themselves. Unless
  // the disk would not even give the boot sector: that is told.
  result = ReportScan(100, 0, 0, 0, 0);
  return result != kOk ? result : source_.FirstFailure();
}

// A cancel stops the walk, but the folders above what was found are still
// written, so that a cancelled scan shows a consistent tree. A directory the
// disk would not give is passed over; the scan keeps what it found and ends
// with the read's error.
int QuickTreeEngine::WalkTree(TreeWalk& walk) {
  auto found = [this] { return static_cast<uint64_t>(store_.GetRecordCount()); };
  WalkProgress progress(percentScale_, [this, &found](int32_t percent, int32_t secondsLeft) {
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

}  // namespace salvora
