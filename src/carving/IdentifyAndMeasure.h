#pragma once
// Identification of one candidate sector and the measuring of the file that
// starts there: the work of carving up to the stored record.
#include <cstdint>
#include <string>

#include "carving/CarveContext.h"

namespace salvora {

struct CarveCandidate {
  uint64_t startSector;  // absolute
  uint64_t sectorsDone;
  uint64_t sectorsTotal;
  int32_t secondsLeft;
  uint64_t filesFound;
};

struct CarvedFile {
  std::string name;  // "<start sector>.<extension>"
  int type;
  uint64_t size;
  bool doubtful = false;  // the size is a guess (see CarveContext::sizeDoubtful)
};

// 0 with `found` filled when a carvable file starts in the sector; 87 when
// nothing (or nothing carvable) does; -9527 when the user cancelled while it
// was measured. The context's source and sector size must be set.
int IdentifyAndMeasure(CarveContext& context, const uint8_t* sector, uint32_t length,
                       const CarveCandidate& candidate, CarvedFile& found);

}  // namespace salvora
