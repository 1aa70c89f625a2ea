#pragma once
// Free bytes of a volume, part of the identity by which a saved deep scan is
// matched to its volume: a volume that changed since the scan was saved has
// other free space, and its saved scan no longer fits.
#include <cstdint>

namespace salvora {

// Free bytes of the file system mounted from the volume at `firstSector`
// (`sectorCount` sectors) of disk `diskNumber`; 0 when it is not mounted.
uint64_t VolumeFreeBytes(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount);

// Last-write time of a file as a FILETIME; 0 when it cannot be read.
uint64_t FileWriteTime(const char* path);

}  // namespace salvora
