#pragma once
// The shared texts of sizes and durations shown to the user.
#include <cstdint>
#include <string>

namespace salvora {

// "%.2f TB/GB/MB/KB" from 1024 bytes up, else "%d Bytes".
std::string FormatSize(int64_t bytes);
// "%d Hour %d Min", "%d Min %d Sec" or "%d Sec".
std::string FormatDuration(int64_t seconds);
// The seconds left to show at `percent`: none once the work is done,
// whether or not an estimate ever came (-1 stays "estimating" before).
inline int32_t SecondsLeftAt(int32_t percent, int32_t secondsLeft) {
  return percent >= 100 ? 0 : secondsLeft;
}

}  // namespace salvora
