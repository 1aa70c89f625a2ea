#include "carving/ContentCheck.h"

#include <strings.h>

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
  // JPEG that opens with its tables, an MP4 of another brand); any row of
  // the extension's type may vouch for it, and so may a later row of the
  // same extension for its own type (an MP3 without a tag, a RAR 5).
  const int type = row->type;
  for (row = kSignatureTable; row->extension; ++row) {
    bool kin = row->type == type || strcasecmp(row->extension, extension) == 0;
    if (kin && row->detect(context, buffer, length) == row->type) return 1;
  }
  return 0;
}

}  // namespace salvora
