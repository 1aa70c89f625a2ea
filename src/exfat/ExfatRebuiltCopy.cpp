#include "exfat/ExfatRebuiltCopy.h"

#include "carving/ListedFileRuns.h"

namespace salvora {

bool CopyRebuiltExfatFile(SectorSource& source, int sectorSize, const FatLayout& layout,
                          const FoundRecord& record, DataSink& sink, int& result) {
  if (sectorSize <= 0 || layout.bytesPerSector != static_cast<uint32_t>(sectorSize) ||
      record.firstCluster < 2)
    return false;
  const uint64_t perCluster = record.clusterBytes / static_cast<uint64_t>(sectorSize);
  uint64_t first = 0;
  if (perCluster == 0 ||
      __builtin_add_overflow(record.volumeFirstSector, record.dataAreaSector, &first) ||
      __builtin_add_overflow(first, (record.firstCluster - 2ull) * perCluster, &first))
    return false;
  PieceList pieces;
  if (RebuildListedFile(source, sectorSize, first, perCluster, record.fileSize, record.name,
                        pieces) !=
      ListedRuns::kJoined)
    return false;
  result = CopySectorRuns(source, sectorSize, pieces, sink);
  return true;
}

}  // namespace salvora
