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
  // Rows added after the table's own widen what a type may start with (a
  // JPEG that opens with its tables); any row of the extension's type may
  // vouch for it.
  const int type = row->type;
  for (row = kSignatureTable; row->extension; ++row)
    if (row->type == type && row->detect(context, buffer, length) == type) return 1;
  return 0;
}

}  // namespace salvora
