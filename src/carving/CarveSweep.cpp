#include "carving/CarveSweep.h"

#include <algorithm>
#include <vector>

#include "platform/ErrorCodes.h"

namespace salvora {

int CarveWholeSource(CFileTypeRecovery& engine, SectorSource& source, int sectorSize,
                     uint64_t& filesFound) {
  if (sectorSize <= 0 || static_cast<uint32_t>(sectorSize) > kScanBufferBytes || !source.File())
    return kInvalidParameter;
  const uint64_t total = source.File()->Size() / static_cast<uint64_t>(sectorSize);
  const uint32_t chunkSectors = kScanBufferBytes / sectorSize;
  std::vector<uint8_t> chunk(kScanBufferBytes);
  uint64_t sector = 0;
  while (sector < total) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(chunkSectors, total - sector));
    uint32_t read = 0;
    source.ReadSectors(static_cast<int32_t>(n), chunk.data(), sector, sectorSize, read);
    if (read == 0) {
      sector += n;
      continue;
    }
    uint64_t next = sector;
    while (next < sector + read) {
      uint64_t advance = 1;
      const uint8_t* bytes = chunk.data() + (next - sector) * sectorSize;
      int result = engine.CarveAtSector(sectorSize, bytes, static_cast<uint32_t>(sectorSize), next,
                                        next, total, -1, source, advance, filesFound);
      if (result == kCancelled) return result;
      next += advance;
    }
    sector = next;
  }
  return kOk;
}

}  // namespace salvora
