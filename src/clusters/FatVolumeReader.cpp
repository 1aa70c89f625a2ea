#include "clusters/FatVolumeReader.h"

#include "platform/ErrorCodes.h"

namespace salvora {

int FatVolumeReader::Read(uint64_t volumeSector, uint32_t count, void* buffer,
                          uint32_t& sectorsRead) const {
  return ReadVia(&SectorSource::ReadSectors, volumeSector, count, buffer, sectorsRead);
}

int FatVolumeReader::TryRead(uint64_t volumeSector, uint32_t count, void* buffer,
                             uint32_t& sectorsRead) const {
  return ReadVia(&SectorSource::TryReadSectors, volumeSector, count, buffer, sectorsRead);
}

int FatVolumeReader::ReadVia(SourceRead read, uint64_t volumeSector, uint32_t count, void* buffer,
                             uint32_t& sectorsRead) const {
  sectorsRead = 0;
  if (!source || count > static_cast<uint32_t>(INT32_MAX)) return kInvalidParameter;
  return (source->*read)(static_cast<int32_t>(count), buffer, Absolute(volumeSector),
                         static_cast<int32_t>(layout.bytesPerSector), sectorsRead);
}

}  // namespace salvora
