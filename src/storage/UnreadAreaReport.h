#pragma once
// An engine that can say which stretches of its source it could not read.
// Kept apart from IFileRecoveryParse, whose slots are fixed: a job asks the
// engine it holds for this view and tells the user where the scan has gaps.
#include <cstdint>
#include <vector>

#include "storage/ByteRange.h"

namespace salvora {

class UnreadAreaReport {
 public:
  // Adds the stretches not read, in bytes of the device or image file that
  // the engine opened, to `out` (kept sorted and joined); `leftOut` grows by
  // the stretches that did not fit.
  virtual void AddUnreadAreas(std::vector<ByteRange>& out, uint64_t& leftOut) const = 0;

 protected:
  ~UnreadAreaReport() = default;
};

}  // namespace salvora
