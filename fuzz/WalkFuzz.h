#pragma once
// Fuzz input as the disk under one structure walk: the file starts at the
// first sector and may run to the end; whatever the walk makes of it, the
// size must never pass the end of the source.
#include <cstdlib>

#include "CarvingFuzzImage.h"
#include "carving/StructureWalks.h"

namespace salvora::fuzz {

inline uint64_t NoRule(CarveContext&, const uint8_t*, uint32_t) { return 0; }

inline int RunWalk(StructureWalk walk, const uint8_t* data, size_t size) {
  SectorSource source;
  AttachImage(source, data, size);
  CarveContext context;
  context.source = &source;
  uint32_t first = static_cast<uint32_t>(size < 512 ? size : 512);
  uint64_t length = WalkOrRule(context, walk, 1ull << 40, NoRule, data, first);
  if (length > source.SectorCount() * 512) std::abort();
  return 0;
}

}  // namespace salvora::fuzz
