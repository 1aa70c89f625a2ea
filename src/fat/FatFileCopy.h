#pragma once
// Streams a found FAT file's clusters into a sink: along its FAT chain while
// the chain lasts, and on through the volume's free clusters when a deleted
// file's chain ends before its size.
#include "clusters/FatTable.h"
#include "results/FoundRecord.h"
#include "storage/DataSink.h"

namespace salvora {

// Copies until the sink is full. `fat` may be null (no usable FAT): the
// file is then read from consecutive clusters. Returns 0, a read error
// (30 also when the volume ends before the file does; what was read stays
// in the sink), 29 for an absurd cluster size, 87 for a record that cannot
// be placed, or the sink's non-zero answer.
int CopyFatFile(const FatVolumeReader& volume, FatTable* fat, const FoundRecord& record,
                DataSink& sink);

}  // namespace salvora
