#pragma once
// Where a file found by its first sector ends when its format does not say:
// at the first later sector that starts another known file or that the
// context's metadata test claims.
#include <cstdint>

#include "carving/CarveContext.h"

namespace salvora {

// Walks the sectors of a chunk that follows the file's data so far, moving
// the context's cursor one sector each. At the first sector that starts a
// known file or holds metadata, adds the bytes before it to `size` and
// returns true; otherwise leaves `size` alone and returns false.
bool FindStopSector(CarveContext& context, uint32_t chunkBytes, const uint8_t* chunk,
                    uint64_t& size);
// The same for MPEG streams, whose own pack and sequence headers recur
// inside them and must not end them.
bool FindStopSectorMpeg(CarveContext& context, uint32_t chunkBytes, const uint8_t* chunk,
                        uint64_t& size);

}  // namespace salvora
