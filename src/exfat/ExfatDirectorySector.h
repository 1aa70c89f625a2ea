#pragma once
// The deep scan's test for a sector of exFAT directory entries: every slot
// is unused or an entry of a known type whose reserved fields are clear,
// and at least one belongs to a file's entry set. Name slots keep their
// flags byte clear, which no FAT long-name or short entry does, so FAT
// directories (and the text or data of files) do not pass.
#include <cstdint>

namespace salvora {

bool LooksLikeExfatDirectorySector(const uint8_t* sector, uint32_t sectorBytes);

}  // namespace salvora
