#include "ntfs/FastNtfsRecovery.h"

#include <algorithm>

#include "ntfs/NtfsDataCopy.h"
#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {

int CFastNtfsRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  if (opened_) return kOk;
  return FinishOpen(OpenImageSource(imagePath, sourceTag));
}

int CFastNtfsRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                uint16_t sourceTag) {
  if (opened_) return kOk;
  return FinishOpen(OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag));
}

// A volume whose MFT cannot be read still opens: its scan then finds
// nothing, which says more to the user than a failed open.
int CFastNtfsRecovery::FinishOpen(int sourceResult) {
  if (sourceResult != kOk) return sourceResult;
  opened_ = true;
  int result = LoadGeometry(source_, firstSector_, sectorCount_, geometry_);
  if (result != kOk) return result;
  if (firstSector_ == 0 && geometry_.bytesPerSector != sectorSize_) {
    // An image counts 512-byte sectors; the volume counts its own.
    geometry_.totalSectors = source_.SectorCount() * 512 / geometry_.bytesPerSector;
    sectorCount_ = geometry_.totalSectors;
  }
  sectorSize_ = geometry_.bytesPerSector;
  // 64 records a read: the buffer stays in the processor's cache, where
  // the system's copy into it runs several times faster than into a
  // buffer of megabytes, and the records are looked at while still there.
  chunk_.assign(static_cast<size_t>(geometry_.recordBytes) * 64, 0);
  return kOk;
}

int CFastNtfsRecovery::Scan(const char* savedStoreName) {
  folderList_.clear();
  folderSeen_.clear();
  parentCache_.clear();
  store_.CloseStore();
  if (savedStoreName) return OpenStoreNamed(savedStoreName);
  int result =
      OpenNewStoreNamed(FormatStoreName(kQuickStorePrefix, static_cast<int64_t>(firstSector_)));
  if (result != kOk) return result;
  result = ScanMft();
  if (result == kOk) result = EmitFolders();
  int flushed = store_.Flush();
  if (result == kOk) result = flushed;
  parentCache_.clear();
  if (result != kOk) return result;
  // What the disk would not give (since the volume was opened) was passed
  // over; the rest is kept, and the failure told.
  result = ReportScan(100, 0, 0, 0, 0);
  return result != kOk ? result : source_.FirstFailure();
}

int CFastNtfsRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  ClusterPlacement at;
  at.volumeFirstSector = record.volumeFirstSector;
  at.clusterBytes = record.clusterBytes;
  at.bytesPerSector = geometry_.bytesPerSector;
  return CopyRecordData(reader_, record.entrySector, at, sink);
}

int CFastNtfsRecovery::BuildUsageMap() {
  uint64_t sector = RecordToSector(geometry_, kBitmapRecord);
  RunList runs;
  DataAttributeInfo info;
  int result = reader_.ReadAttributeRuns(sector, kAttrData, runs, &info);
  if (result != kOk) return result;
  // One bit per cluster, in whole 8-byte words: anything longer is not this
  // volume's bitmap.
  uint64_t clusters = geometry_.totalSectors / static_cast<uint64_t>(geometry_.sectorsPerCluster);
  uint64_t longest = (clusters + 63) / 64 * 8;
  uint64_t size = std::min(info.realSize, longest);
  std::vector<uint8_t> bits;
  result = reader_.ReadRunData(runs, size, longest, bits);
  if (result != kOk) return result;
  usage_.Assign(std::move(bits), geometry_.totalSectors,
                static_cast<uint32_t>(geometry_.sectorsPerCluster));
  return kOk;
}

int CFastNtfsRecovery::NextFreeRange(uint64_t& sector, uint64_t& count) {
  if (usage_.Empty()) return 0;
  usage_.NextFreeRange(sector, count);
  return 1;
}

}  // namespace salvora
