#pragma once
// Carving alone over a whole source, sector by sector with the advance
// rule: what the deep scan does for sectors no file-system engine claims.
// Serves the carving benchmarks, fuzzing and tests of whole images.
#include <cstdint>

#include "carving/FileTypeRecovery.h"

namespace salvora {

// Walks `source` from sector 0 in 64 KiB chunks. Returns 0, or -9527 when
// the user cancelled; `filesFound` counts the stored files.
int CarveWholeSource(CFileTypeRecovery& engine, SectorSource& source, int sectorSize,
                     uint64_t& filesFound);

}  // namespace salvora
