#include "carving/ContentCheck.h"

#include "carving/CarveContext.h"
#include "carving/SignatureTable.h"

namespace salvora {

int MatchesExtension(const uint8_t* buffer, uint32_t length, const char* extension,
                     SectorSource& source, int sectorSize, uint64_t startSector) {
  const SignatureRow* row = FirstRowOfExtension(extension);
  if (!row) return 1;
  // A context of its own: a carving scan running elsewhere keeps its state.
  CarveContext context;
  context.sectorSize = sectorSize;
  context.source = &source;
  context.fileStartSector = startSector;
  context.cursorSector = startSector;
  context.tsFollowFlag = 0;
  return row->detect(context, buffer, length) == row->type ? 1 : 0;
}

}  // namespace salvora
