#pragma once
// Progress callbacks (function pointers whose first argument is the caller's
// user data: 0 goes on, any other answer stops the operation, which returns
// it, kCancelled when the user cancelled), and the visitor listings call.
#include <cstdint>
#include "results/ListProgress.h"
#include "results/RecordVisitor.h"

namespace salvora {

// percent of this engine's work, percent scale (shown = percent * scale /
// 100), seconds left (-1 unknown), sectors done, sectors total (0 hides the
// counters), files found, reserved (0).
using ScanProgressFn = int (*)(void* userData, int32_t percent, int32_t scale, int32_t secondsLeft,
                               uint64_t sectorsDone, uint64_t sectorsTotal, uint64_t filesFound,
                               int32_t reserved);
// percent, scale (100), result code of the file just handled, path written.
using TransferProgressFn = int (*)(void* userData, int32_t percent, int32_t scale,
                                   int32_t errorCode, const char* path);
// percent, result code.
using ExtractProgressFn = int (*)(void* userData, int32_t percent, int32_t errorCode);

}  // namespace salvora
