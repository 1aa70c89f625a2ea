#pragma once
// Streams a found exFAT file into a sink. The record keeps where the data
// starts and how long it is; whether it is one run and how much of it was
// ever written (the valid data length) live in its stream extension, which
// the copy reads again at the record's entry sector.
#include "clusters/FatVolumeReader.h"
#include "exfat/ExfatClusterChain.h"
#include "results/FoundRecord.h"
#include "storage/DataSink.h"

namespace salvora {

// Copies until the sink is full; bytes past the valid data length are
// zeros, as the file system returns them. A cluster that other data holds
// now is written as zeros and the copy ends with 1392 (a chain that cannot
// be followed past such a cluster ends there, with what came before it in
// the sink). Otherwise returns 0; 30 when the volume ends first; 29 for an
// absurd cluster size; 87 for a record that cannot be placed on this
// volume; a read error; or the sink's non-zero answer.
int CopyExfatFile(const FatVolumeReader& volume, FatTable& fat, const ClusterUsageMap* bitmap,
                  const FoundRecord& record, DataSink& sink);

}  // namespace salvora
