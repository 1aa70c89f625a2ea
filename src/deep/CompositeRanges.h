#pragma once
// The ranges a deep scan walks: the free runs a quick engine's usage map
// gives, or the whole volume when there is no usable map. Whatever an engine
// answers, every range lies inside the volume and starts at or after the end
// of the range before it, so the enumeration always ends.
#include <cstdint>

#include "storage/IFileRecoveryParse.h"

namespace salvora {

struct WalkRange {
  uint64_t start = 0;   // volume-relative
  uint64_t length = 0;  // sectors
  uint64_t End() const { return start + length; }
};

class WalkRanges {
 public:
  // `freeMap` is the quick engine whose usage map was built, or null for a
  // walk of the whole volume.
  WalkRanges(IFileRecoveryParse* freeMap, uint64_t volumeSectors)
      : freeMap_(freeMap), volumeSectors_(volumeSectors) {}

  // The first range that lies at or after volume sector `from`; false when
  // none is left.
  bool Next(uint64_t from, WalkRange& range);
  // Sectors in all ranges.
  uint64_t Total();
  bool UsesFreeMap() const { return freeMap_ != nullptr; }

 private:
  bool NextFree(uint64_t from, WalkRange& range);
  IFileRecoveryParse* freeMap_;
  uint64_t volumeSectors_;
};

// Whether an engine's usage map can drive the walk: it was built, and the
// engine answers free-range queries at all (a placeholder without a file
// system answers neither).
bool HasUsableFreeMap(IFileRecoveryParse& engine);

}  // namespace salvora
