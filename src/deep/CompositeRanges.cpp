#include "deep/CompositeRanges.h"

namespace salvora {

bool WalkRanges::Next(uint64_t from, WalkRange& range) {
  if (from >= volumeSectors_) return false;
  if (freeMap_) return NextFree(from, range);
  range = {from, volumeSectors_ - from};
  return true;
}

// The engine's answer is trimmed to what lies ahead of `from` and inside the
// volume; an answer that does not move forward ends the walk.
bool WalkRanges::NextFree(uint64_t from, WalkRange& range) {
  uint64_t sector = from, count = 1;
  if (freeMap_->NextFreeRange(sector, count) == 0 || count == 0) return false;
  if (sector >= volumeSectors_) return false;
  uint64_t end = count > volumeSectors_ - sector ? volumeSectors_ : sector + count;
  if (end <= from) return false;
  if (sector < from) sector = from;
  range = {sector, end - sector};
  return true;
}

uint64_t WalkRanges::Total() {
  uint64_t total = 0;
  WalkRange range;
  for (uint64_t from = 0; Next(from, range); from = range.End()) total += range.length;
  return total;
}

bool HasUsableFreeMap(IFileRecoveryParse& engine) {
  if (engine.BuildUsageMap() != 0) return false;
  uint64_t sector = 0, count = 1;
  return engine.NextFreeRange(sector, count) != 0;
}

}  // namespace salvora
