#pragma once
// A scan reads one volume at a time. A whole disk that carries a partition
// table is therefore scanned partition by partition, and so is an image of
// such a disk; a deep scan of that image also walks its unallocated
// stretches.
#include <vector>

#include "cli/SourceSpec.h"

namespace salvora {

// The source itself, or, for a whole disk (quick scans) or an image of one
// whose start is no file system but which has partitions, each of its
// entries as a source of its own.
std::vector<ScanSource> ScanVolumes(const ScanSource& source, bool deep);

}  // namespace salvora
