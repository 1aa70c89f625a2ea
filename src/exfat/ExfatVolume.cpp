#include "exfat/ExfatVolume.h"

#include <algorithm>
#include <vector>

#include "exfat/ExfatBitmap.h"
#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatFileCopy.h"
#include "platform/ErrorCodes.h"
#include "storage/VolumeClass.h"

namespace salvora {

int ExfatVolume::Open(SectorSource& source, uint64_t firstSector, uint64_t sectorCount,
                      uint32_t callerSectorBytes) {
  fat_.reset();
  bitmap_ = ClusterUsageMap();
  bitmapTried_ = false;
  bitmapResult_ = kOk;
  callerSectorBytes_ = callerSectorBytes;
  callerSectorCount_ = sectorCount;
  std::vector<uint8_t> area(kExfatBootAreaBytes);
  uint32_t sectors = static_cast<uint32_t>(
      std::min<uint64_t>(kExfatBootAreaBytes / callerSectorBytes, sectorCount));
  uint32_t got = 0;
  source.ReadSectors(static_cast<int32_t>(sectors), area.data(), firstSector,
                     static_cast<int32_t>(callerSectorBytes), got);
  size_t bytes = std::min(static_cast<size_t>(got) * callerSectorBytes, area.size());
  size_t region = 0;
  ExfatBootFields fields;
  if (!FindExfatBootRegion(area.data(), bytes, region) ||
      !ReadExfatBootFields(area.data() + region, bytes - region, fields))
    return kInvalidParameter;
  // From here on sectors are counted in the volume's own sector size.
  uint32_t bytesPerSector = 1u << fields.sectorShift;
  uint64_t startByte = firstSector * callerSectorBytes;
  if (startByte % bytesPerSector != 0) return kInvalidParameter;
  uint64_t sourceBytes = source.SectorCount() * source.DeviceSectorSize();
  uint64_t available = sourceBytes > startByte ? sourceBytes - startByte : 0;
  available = std::min(available, sectorCount * callerSectorBytes);
  FatLayout layout;
  int result = DeriveExfatLayout(fields, available / bytesPerSector, layout);
  if (result != kOk) return result;
  sectorCount_ = available / bytesPerSector;
  reader_ = {&source, startByte / bytesPerSector, layout};
  fat_ = std::make_unique<FatTable>(reader_);
  return kOk;
}

const ClusterUsageMap* ExfatVolume::Bitmap() {
  if (!bitmapTried_ && fat_) {
    bitmapTried_ = true;
    std::vector<uint8_t> bits;
    bitmapResult_ = ReadExfatBitmap(reader_, *fat_, bits);
    if (bitmapResult_ == kOk) {
      const FatLayout& layout = Layout();
      uint64_t heapBytes = layout.firstDataSector * layout.bytesPerSector;
      uint32_t clusterSectors = std::max(1u, layout.ClusterBytes() / callerSectorBytes_);
      bitmap_.Assign(std::move(bits), callerSectorCount_, clusterSectors,
                     heapBytes / callerSectorBytes_);
    }
  }
  return bitmap_.Empty() ? nullptr : &bitmap_;
}

int ExfatVolume::CopyFile(const FoundRecord& record, DataSink& sink) {
  if (!fat_) return kInvalidParameter;
  const ClusterUsageMap* bitmap = Bitmap();
  int result = CopyExfatFile(reader_, *fat_, bitmap, record, sink);
  if (result != kOk || bitmap) return result;
  return bitmapResult_ == kInvalidParameter ? kFileCorrupt : bitmapResult_;
}

bool ExfatVolume::FreeRangesUsable() {
  const FatLayout& layout = Layout();
  uint64_t heapBytes = layout.firstDataSector * layout.bytesPerSector;
  return Bitmap() && layout.ClusterBytes() % callerSectorBytes_ == 0 &&
         heapBytes % callerSectorBytes_ == 0;
}

}  // namespace salvora
