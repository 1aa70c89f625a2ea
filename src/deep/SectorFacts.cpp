#include "deep/SectorFacts.h"

#include "deep/CompositeClassifier.h"
#include "deep/FatDirectorySector.h"
#include "deep/FileSystemMetadata.h"
#include "exfat/ExfatDirectorySector.h"

namespace salvora {

uint8_t SectorFactsOf(const uint8_t* sector, uint32_t sectorSize) {
  uint8_t facts = kFactsKnown;
  bool entries = IsFatDirectorySector(sector, sectorSize);
  if (LooksLikeFileRecord(sector, sectorSize)) facts |= kFileRecordFact;
  if (sectorSize >= 64 && IsDotEntrySector(sector)) facts |= kDirectoryStartFact;
  bool exfatEntries = LooksLikeExfatDirectorySector(sector, sectorSize);
  if (entries) facts |= kDirectoryEntriesFact;
  if (exfatEntries) facts |= kExfatEntriesFact;
  // The metadata test, with the directory-entry tests it ends with taken
  // from above.
  if (sectorSize >= 32 && (entries || exfatEntries || IsVolumeStructureSector(sector, sectorSize)))
    facts |= kMetadataFact;
  return facts;
}

}  // namespace salvora
