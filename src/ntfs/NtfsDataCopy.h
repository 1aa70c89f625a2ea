#pragma once
// Copying a file's bytes out of an NTFS volume, the same way for every NTFS
// engine: a resident value from the record, plain runs cluster by cluster,
// compressed runs one compression unit at a time. Sparse clusters read as
// zeros; reading stops as soon as the sink holds the file's size.
#include <cstdint>

#include "ntfs/NtfsReader.h"
#include "ntfs/NtfsRunList.h"
#include "storage/DataSink.h"
#include "storage/SectorSource.h"

namespace salvora {

// Where a file's clusters lie.
struct ClusterPlacement {
  uint64_t volumeFirstSector = 0;  // absolute sector that cluster 0 starts at
  uint64_t clusterBytes = 0;
  int32_t bytesPerSector = 512;
};

// Streams the clusters of plain (uncompressed) runs into the sink. 0; 30
// when a read delivers nothing; 38 when the runs end before the sink is
// full; 1392 for runs outside any sane place; the sink's answer.
int StreamRuns(SectorSource& source, const RunList& runs, const ClusterPlacement& at,
               DataSink& sink);

// The same for runs of an LZNT1-compressed attribute whose compression unit
// is 2^`unitShift` clusters.
int StreamCompressedRuns(SectorSource& source, const RunList& runs, const ClusterPlacement& at,
                         uint8_t unitShift, DataSink& sink);

// Copies the unnamed $DATA of the FILE record at absolute `entrySector`.
// A file of size 0 reads nothing. Encrypted data gives 50: its clusters
// hold ciphertext, never the file. Otherwise as the readers and streams
// above say (-1 or -100 when the record is gone or has no data).
int CopyRecordData(const NtfsReader& reader, uint64_t entrySector, const ClusterPlacement& at,
                   DataSink& sink);

}  // namespace salvora
