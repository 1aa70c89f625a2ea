#pragma once
// A quick scan reads one file system at a time. A whole disk that carries a
// partition table is therefore scanned partition by partition.
#include <vector>

#include "cli/SourceSpec.h"

namespace salvora {

// The source itself, or, for a whole disk whose start is no file system but
// which has partitions, each partition as a source of its own.
std::vector<ScanSource> QuickScanVolumes(const ScanSource& source);

}  // namespace salvora
