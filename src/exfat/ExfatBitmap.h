#pragma once
// The allocation bitmap of an exFAT volume: one bit per cluster of the
// heap (bit 0 is cluster 2), kept as a file that the root folder's bitmap
// entry names. It is the volume's own account of what is in use, so it
// serves both as the deep scan's usage map and as the test of whether a
// deleted file's clusters were taken by other data since.
#include <cstdint>
#include <vector>

#include "clusters/FatTable.h"
#include "clusters/FatVolumeReader.h"

namespace salvora {

// Reads the bitmap into `bits`, one bit per cluster of the layout (bits past
// the last cluster set). Bytes the bitmap file does not hold, or that
// cannot be read, stay clear: a scan then looks at more, never at less.
// 0, or 87 when the root names no bitmap, or a read error when none of it
// could be read.
int ReadExfatBitmap(const FatVolumeReader& volume, FatTable& fat, std::vector<uint8_t>& bits);

}  // namespace salvora
