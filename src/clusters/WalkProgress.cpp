#include "clusters/WalkProgress.h"

#include <algorithm>

#include "platform/Clock.h"

namespace salvora {
namespace {

// The walk's share ends where writing the folders takes over.
constexpr int32_t kLastWalkPercent = 79;
constexpr int32_t kDeepScale = 9;
constexpr int32_t kWholeScale = 100;

}  // namespace

WalkProgress::WalkProgress(int32_t scale, ReportFn report, uint64_t intervalMs)
    : scale_(scale), report_(std::move(report)), intervalMs_(intervalMs) {}

int WalkProgress::Start() {
  lastReport_ = SteadyMilliseconds();
  return report_(percent_, -1);
}

int WalkProgress::Tick() {
  uint64_t now = SteadyMilliseconds();
  if (now - lastReport_ < intervalMs_) return 0;
  lastReport_ = now;
  if (scale_ == kWholeScale) {
    percent_ = std::min(percent_ + 1, kLastWalkPercent);
    secondsLeft_ = std::max(secondsLeft_ - 1, 1);
    return report_(percent_, secondsLeft_);
  }
  if (scale_ == kDeepScale) {
    deepCounter_ = std::min(deepCounter_ + 1, kLastWalkPercent);
    return report_(deepCounter_, -1);
  }
  return 0;
}

}  // namespace salvora
