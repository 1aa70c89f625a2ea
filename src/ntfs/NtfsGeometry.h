#pragma once
// Where an NTFS volume keeps its pieces: sector and cluster sizes, the size
// of one FILE record, and where the MFT lies. Filled once from the boot
// sector; every NTFS engine holds one.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace salvora {

// One entry of a decoded run list. `delta` counts clusters from the start
// of the previous run that has clusters (the first one is absolute); a
// sparse run owns no clusters, reads as zeros and leaves the running start
// where it was.
struct DataRun {
  uint64_t length = 0;  // clusters
  int64_t delta = 0;
  bool sparse = false;
};
using RunList = std::vector<DataRun>;

struct NtfsGeometry {
  uint64_t partitionStart = 0;  // absolute sector of the boot sector
  uint64_t totalSectors = 0;    // sectors of the volume
  uint64_t mftStart = 0;        // absolute sector of MFT record 0
  int32_t bytesPerSector = 512;
  int32_t recordBytes = 1024;
  int32_t sectorsPerRecord = 2;
  int32_t sectorsPerCluster = 8;
  RunList mftRuns;  // runs of the MFT's own unnamed $DATA

  uint64_t ClusterBytes() const {
    return static_cast<uint64_t>(sectorsPerCluster) * static_cast<uint64_t>(bytesPerSector);
  }
};

// Bytes the boot sector must provide to ParseBootSector.
constexpr size_t kBootSectorBytes = 512;
// Largest FILE record any reader here accepts; record buffers have this size.
constexpr int32_t kMaxRecordBytes = 8192;

// Fills the geometry from a boot sector (the MFT runs are left empty).
// 87 when its fields cannot describe a volume (sector size not a power of
// two from 512 to 4096, no cluster size, an MFT outside the volume).
int ParseBootSector(const uint8_t* boot, size_t size, uint64_t partitionStart,
                    uint64_t totalSectors, NtfsGeometry& geometry);

// Absolute sector of FILE record `recordNumber`, found through the MFT
// runs. A record outside every run maps to the partition start, whose boot
// sector never passes as a FILE record.
uint64_t RecordToSector(const NtfsGeometry& geometry, uint64_t recordNumber);

}  // namespace salvora
