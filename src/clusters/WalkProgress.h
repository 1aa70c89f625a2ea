#pragma once
// Progress of a directory walk, whose length is unknown in advance: a
// report at most every five seconds with a value that creeps forward, so
// that the user sees the scan alive and can cancel it.
#include <cstdint>
#include <functional>

namespace salvora {

class WalkProgress {
 public:
  // report(percent, secondsLeft) calls the scan callback; its answer is
  // passed back. `scale` decides the shape of the values (100: the scan is
  // the whole job; 9: the first part of a deep scan).
  using ReportFn = std::function<int(int32_t percent, int32_t secondsLeft)>;
  WalkProgress(int32_t scale, ReportFn report, uint64_t intervalMs = 5000);

  int Start();
  // Reports when the interval has passed since the last report.
  int Tick();

 private:
  int32_t scale_;
  ReportFn report_;
  uint64_t intervalMs_;
  uint64_t lastReport_ = 0;
  int32_t percent_ = 1;
  int32_t secondsLeft_ = 100;
  int32_t deepCounter_ = 20;
};

}  // namespace salvora
