#include "carving/StopSearch.h"

#include "carving/FileTypeCode.h"
#include "carving/SignatureTable.h"

namespace salvora {
namespace {

bool FindStop(CarveContext& context, uint32_t chunkBytes, const uint8_t* chunk, uint64_t& size,
              bool passOverMpeg) {
  if (!chunk || !context.SectorSizeUsable()) return false;
  uint32_t sectorBytes = context.SectorBytes();
  for (uint32_t at = 0; at + sectorBytes <= chunkBytes; at += sectorBytes) {
    ++context.cursorSector;
    const uint8_t* sector = chunk + at;
    int answer = IdentifySector(context, sector, sectorBytes);
    bool stops = answer != kTypeNone && !(passOverMpeg && answer == kTypeMpegStream);
    bool metadata = answer == kTypeNone && context.EndsCarvedFile(sector, sectorBytes);
    if (stops || metadata) {
      size += at;
      return true;
    }
  }
  return false;
}

}  // namespace

bool FindStopSector(CarveContext& context, uint32_t chunkBytes, const uint8_t* chunk,
                    uint64_t& size) {
  return FindStop(context, chunkBytes, chunk, size, false);
}

bool FindStopSectorMpeg(CarveContext& context, uint32_t chunkBytes, const uint8_t* chunk,
                        uint64_t& size) {
  return FindStop(context, chunkBytes, chunk, size, true);
}

}  // namespace salvora
