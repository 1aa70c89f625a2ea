#include "exfat/FastExfatRecovery.h"

#include <algorithm>
#include <vector>

#include "exfat/ExfatBitmap.h"
#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatDirectoryWalk.h"
#include "exfat/ExfatFileCopy.h"
#include "fat/FatScanProgress.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"
#include "storage/VolumeClass.h"

namespace salvora {

int CFastExfatRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenImageSource(imagePath, sourceTag);
  if (result != kOk) return result;
  opened_ = true;
  return ReadBootRegion();
}

int CFastExfatRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                 uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag);
  if (result != kOk) return result;
  opened_ = true;
  return ReadBootRegion();
}

int CFastExfatRecovery::ReadBootRegion() {
  callerSectorBytes_ = static_cast<uint32_t>(sectorSize_);
  callerSectorCount_ = sectorCount_;
  std::vector<uint8_t> area(kExfatBootAreaBytes);
  uint32_t sectors = static_cast<uint32_t>(
      std::min<uint64_t>(kExfatBootAreaBytes / callerSectorBytes_, sectorCount_));
  uint32_t got = 0;
  ReadVolumeSectors(0, sectors, area.data(), got);
  size_t bytes = std::min(static_cast<size_t>(got) * callerSectorBytes_, area.size());
  size_t region = 0;
  ExfatBootFields fields;
  if (!FindExfatBootRegion(area.data(), bytes, region) ||
      !ReadExfatBootFields(area.data() + region, bytes - region, fields))
    return kInvalidParameter;
  // From here on sectors are counted in the volume's own sector size.
  uint32_t bytesPerSector = 1u << fields.sectorShift;
  uint64_t startByte = firstSector_ * callerSectorBytes_;
  if (startByte % bytesPerSector != 0) return kInvalidParameter;
  uint64_t volumeBytes = sectorCount_ * callerSectorBytes_;
  uint64_t sourceBytes = source_.SectorCount() * source_.DeviceSectorSize();
  uint64_t available = sourceBytes > startByte ? std::min(volumeBytes, sourceBytes - startByte) : 0;
  FatLayout layout;
  int result = DeriveExfatLayout(fields, available / bytesPerSector, layout);
  if (result != kOk) return result;
  sectorCount_ = available / bytesPerSector;
  firstSector_ = startByte / bytesPerSector;
  sectorSize_ = static_cast<int>(bytesPerSector);
  volume_.source = &source_;
  volume_.firstSector = firstSector_;
  volume_.layout = layout;
  fat_ = std::make_unique<FatTable>(volume_);
  return kOk;
}

bool CFastExfatRecovery::LoadBitmap() {
  if (bitmapTried_) return !bitmap_.Empty();
  bitmapTried_ = true;
  if (!fat_) return false;
  std::vector<uint8_t> bits;
  if (ReadExfatBitmap(volume_, *fat_, bits) != kOk) return false;
  const FatLayout& layout = volume_.layout;
  uint64_t heapBytes = layout.firstDataSector * layout.bytesPerSector;
  uint32_t clusterBytes = layout.ClusterBytes();
  freeRangesUsable_ = clusterBytes % callerSectorBytes_ == 0 && heapBytes % callerSectorBytes_ == 0;
  uint32_t clusterSectors = std::max(1u, clusterBytes / callerSectorBytes_);
  bitmap_.Assign(std::move(bits), callerSectorCount_, clusterSectors, heapBytes / callerSectorBytes_);
  return true;
}

uint64_t CFastExfatRecovery::RootFolderKey() const {
  return FolderKey(fat_ ? volume_.layout.rootCluster : 0, 0);
}

int CFastExfatRecovery::Scan(const char* savedStoreName) {
  if (savedStoreName) return OpenStoreNamed(savedStoreName);
  int result =
      OpenNewStoreNamed(FormatStoreName(kQuickStorePrefix, static_cast<int64_t>(firstSector_)));
  if (result != kOk) return result;
  // A volume whose boot region cannot be used has no tree to walk; the scan
  // finds nothing rather than failing, so that a deep scan that runs this
  // engine first still goes on to look at the sectors themselves.
  if (!fat_) return ReportScan(100, 0, 0, 0, 0);
  return WalkTree();
}

// A cancel stops the walk, but the folders above what was found are still
// written, so that a cancelled scan shows a consistent tree.
int CFastExfatRecovery::WalkTree() {
  LoadBitmap();
  ExfatDirectoryWalk walk(volume_, *fat_, &bitmap_, store_, sourceTag_);
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
  return result != kOk ? result : flushed;
}

int CFastExfatRecovery::BuildUsageMap() {
  return LoadBitmap() && freeRangesUsable_ ? kOk : kInvalidParameter;
}

int CFastExfatRecovery::NextFreeRange(uint64_t& sector, uint64_t& count) {
  if (bitmap_.Empty() || !freeRangesUsable_) return 0;
  bitmap_.NextFreeRange(sector, count);
  return 1;
}

int CFastExfatRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  if (!fat_) return kInvalidParameter;
  LoadBitmap();
  return CopyExfatFile(volume_, *fat_, &bitmap_, record, sink);
}

}  // namespace salvora
