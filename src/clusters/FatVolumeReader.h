#pragma once
// One FAT volume as the engine reads it: its layout and where it starts on
// the source. Sector numbers given to it are volume-relative, in units of
// the volume's own sector size.
#include <cstdint>

#include "clusters/FatLayout.h"
#include "storage/SectorSource.h"

namespace salvora {

struct FatVolumeReader {
  SectorSource* source = nullptr;
  uint64_t firstSector = 0;  // absolute sector of the volume start
  FatLayout layout;

  uint64_t Absolute(uint64_t volumeSector) const { return firstSector + volumeSector; }
  // Reads `count` sectors; `sectorsRead` holds the whole sectors that came.
  int Read(uint64_t volumeSector, uint32_t count, void* buffer, uint32_t& sectorsRead) const;
  // The same for a look the scan can do without (SectorSource::TryReadSectors).
  int TryRead(uint64_t volumeSector, uint32_t count, void* buffer, uint32_t& sectorsRead) const;

 private:
  using SourceRead = int (SectorSource::*)(int32_t, void*, uint64_t, int32_t, uint32_t&);
  int ReadVia(SourceRead read, uint64_t volumeSector, uint32_t count, void* buffer,
              uint32_t& sectorsRead) const;
};

}  // namespace salvora
