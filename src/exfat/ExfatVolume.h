#pragma once
// One exFAT volume as the engines read it: where its boot region puts the
// FAT and the cluster heap, the FAT itself, and the allocation bitmap, read
// once when first asked for. The quick engine walks it; the deep engine
// copies the files it rebuilt out of it.
#include <cstdint>
#include <memory>

#include "clusters/ClusterUsageMap.h"
#include "clusters/FatTable.h"
#include "clusters/FatVolumeReader.h"
#include "results/FoundRecord.h"
#include "storage/DataSink.h"
#include "storage/SectorSource.h"

namespace salvora {

class ExfatVolume {
 public:
  // Finds a whole boot region at the volume's start (the backup when the
  // main one is damaged). `firstSector` and `sectorCount` are in sectors of
  // `callerSectorBytes`, the unit the source was opened in. 0, or 87 when
  // there is no usable boot region.
  int Open(SectorSource& source, uint64_t firstSector, uint64_t sectorCount,
           uint32_t callerSectorBytes);
  bool IsOpen() const { return fat_ != nullptr; }

  // In the volume's own sectors.
  const FatVolumeReader& Reader() const { return reader_; }
  const FatLayout& Layout() const { return reader_.layout; }
  uint64_t FirstSector() const { return reader_.firstSector; }
  uint64_t SectorCount() const { return sectorCount_; }
  FatTable& Fat() { return *fat_; }

  // The allocation bitmap; null when the volume has none that can be read.
  // Its free ranges are in the caller's sectors.
  const ClusterUsageMap* Bitmap();
  // Whether those free ranges can be expressed in the caller's sectors.
  bool FreeRangesUsable();

  // Copies a found file out of the volume. Without the bitmap nothing tells
  // which clusters other data took since, so such a copy is made but ends
  // with the reason the bitmap is missing (30 when the disk would not give
  // it): a file that may hold foreign bytes is never passed as whole.
  int CopyFile(const FoundRecord& record, DataSink& sink);

 private:
  FatVolumeReader reader_;
  std::unique_ptr<FatTable> fat_;
  uint64_t sectorCount_ = 0;
  uint32_t callerSectorBytes_ = 512;
  uint64_t callerSectorCount_ = 0;
  ClusterUsageMap bitmap_;
  bool bitmapTried_ = false;
  int bitmapResult_ = 0;
};

}  // namespace salvora
