#pragma once
// Files that a file system lists but whose clusters it can no longer
// follow (a chain cleared by deleting, a FAT nobody trusts after a format)
// are read from their first cluster on as one run, which breaks every
// file that was fragmented. For the formats the fragment search judges,
// that search rebuilds such a file from the sectors that follow, against
// the size its entry states, with the work bounded as for a carved file.
#include <cstdint>

#include "carving/FragmentPieces.h"
#include "storage/DataSink.h"
#include "storage/SectorSource.h"

namespace salvora {

enum class ListedRuns {
  kUnjudged,  // a format not judged, or its start cannot be judged
  kWhole,     // the one run validates
  kJoined,    // `pieces` hold the file's runs, exactly its size
  kGuessed,   // as kJoined, with one break placed where clusters most likely put it
  kDamaged,   // breaks, and no continuation made it whole
};

// The file named `name` (its extension gives the format) that starts at
// absolute sector `firstSector` of a volume of `clusterSectors` sectors
// per cluster and is `fileSize` bytes long.
ListedRuns RebuildListedFile(SectorSource& source, int sectorSize, uint64_t firstSector,
                             uint64_t clusterSectors, uint64_t fileSize, const char* name,
                             PieceList& pieces);

// Copies the runs' sectors into the sink until it is full: 0, a read fault
// (what arrived before it stays in the sink), or the sink's answer.
int CopySectorRuns(SectorSource& source, int sectorSize, const PieceList& pieces, DataSink& sink);

}  // namespace salvora
