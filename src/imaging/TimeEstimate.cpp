#include "imaging/TimeEstimate.h"

#include <algorithm>
#include <limits>

namespace salvora {

namespace {
constexpr uint64_t kEstimateIntervalMs = 5000;
}

int32_t TimeEstimate::Update(uint64_t nowMs, uint64_t done, uint64_t total) {
  if (nowMs < lastEstimateMs_ + kEstimateIntervalMs) return secondsLeft_;
  uint64_t elapsedSeconds = std::max<uint64_t>((nowMs - startMs_) / 1000, 1);
  uint64_t rate = std::max<uint64_t>(done / elapsedSeconds, 1);
  uint64_t left = total > done ? (total - done) / rate : 0;
  secondsLeft_ = static_cast<int32_t>(
      std::min<uint64_t>(left, static_cast<uint64_t>(std::numeric_limits<int32_t>::max())));
  lastEstimateMs_ = nowMs;
  return secondsLeft_;
}

}  // namespace salvora
