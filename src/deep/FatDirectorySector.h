#pragma once
// Does a sector look like a block of FAT directory entries? The deep scan
// uses it to hand such sectors to the FAT engine, and to end a carved file
// before one.
#include <cstdint>

namespace salvora {

// True when every 32-byte entry up to the first free one is a plausible
// directory entry, long-name groups belong to their short entry, and only
// zeros follow a free entry. Sectors shorter than one entry pass.
bool IsFatDirectorySector(const uint8_t* sector, uint32_t sectorBytes);

}  // namespace salvora
