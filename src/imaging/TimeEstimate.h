#pragma once
// Time left of a long copy, from the average rate since its start and
// recomputed at most once every five seconds so that the figure shown does
// not jump with every chunk.
#include <cstdint>

namespace salvora {

class TimeEstimate {
 public:
  explicit TimeEstimate(uint64_t startMs) : startMs_(startMs), lastEstimateMs_(startMs) {}
  // Seconds left after `done` of `total` bytes at time `nowMs`; -1 until the
  // first five seconds have passed.
  int32_t Update(uint64_t nowMs, uint64_t done, uint64_t total);

 private:
  uint64_t startMs_;
  uint64_t lastEstimateMs_;
  int32_t secondsLeft_ = -1;
};

}  // namespace salvora
