#include "carving/IdentifyAndMeasure.h"

#include "carving/FileTypeCode.h"
#include "carving/SignatureTable.h"
#include "platform/ErrorCodes.h"

namespace salvora {

int IdentifyAndMeasure(CarveContext& context, const uint8_t* sector, uint32_t length,
                       const CarveCandidate& candidate, CarvedFile& found) {
  context.fileStartSector = candidate.startSector;
  context.cursorSector = candidate.startSector;
  context.sectorsDone = candidate.sectorsDone;
  context.sectorsTotal = candidate.sectorsTotal;
  context.secondsLeft = candidate.secondsLeft;
  context.filesFound = candidate.filesFound;
  int type = IdentifySector(context, sector, length);
  context.NoteAttemptFoundNothing();
  if (type == kTypeNone) return kInvalidParameter;
  const SignatureRow* row = FirstRowOfType(type);
  if (!row || !row->measure) return kInvalidParameter;
  if (type != kTypeTransportStream) context.tsFollowFlag = 0;
  if (type == kTypeM2ts) context.mtsFollowFlag = 1;
  found.name = std::to_string(candidate.startSector) + "." + row->extension;
  found.type = type;
  context.lastCallbackResult = 0;
  context.sizeDoubtful = false;
  found.size = row->measure(context, sector, length);
  found.doubtful = context.sizeDoubtful;
  return context.lastCallbackResult == kCancelled ? kCancelled : kOk;
}

}  // namespace salvora
