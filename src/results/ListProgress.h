#pragma once
// How a store reports its reading of a saved data file: a plain function
// pointer whose first argument is the caller's user data. 0 means go on;
// any other answer stops the reading, which returns that same value.
#include <cstdint>

namespace salvora {

// percent of the store's data file read, reserved (0).
using ListProgressFn = int (*)(void* userData, int32_t percent, int32_t reserved);

}  // namespace salvora
