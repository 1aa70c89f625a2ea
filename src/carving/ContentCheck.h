#pragma once
// The content check of file-system engines: does the first sector of a
// found file carry the signature its extension promises?
#include <cstdint>

#include "storage/SectorSource.h"

namespace salvora {

// 1 when `buffer` (the file's first bytes, read at absolute `startSector`)
// carries the signature of `extension`'s type (the type of the first row
// of that extension, no dot, any case) by any row of that type, or when no
// row knows the extension; 0 otherwise. Works on a carving context of its
// own, so it never disturbs a running carving scan.
int MatchesExtension(const uint8_t* buffer, uint32_t length, const char* extension,
                     SectorSource& source, int sectorSize, uint64_t startSector);

}  // namespace salvora
