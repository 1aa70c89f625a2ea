#include "carving/StructureWalks.h"

#include <algorithm>

namespace salvora {

uint64_t WalkOrRule(CarveContext& context, StructureWalk walk, uint64_t capBytes, MeasureFn rule,
                    const uint8_t* bytes, uint32_t count) {
  FileWindow window(context, capBytes);
  uint64_t size = 0;
  if (walk(window, size) && size > 0) return std::min(size, window.Limit());
  // A stop or cancel during the walk ends the measuring where it stood.
  if (window.Stopped()) return window.Reached();
  return rule(context, bytes, count);
}

}  // namespace salvora
