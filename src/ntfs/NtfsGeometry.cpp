#include "ntfs/NtfsGeometry.h"

#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Values above 0x80 hold a negative power of two: volumes with clusters of
// more than 128 sectors (for example 2 MiB clusters) are written that way.
uint32_t SectorsPerClusterField(uint8_t field) {
  if (field <= 0x80) return field;
  uint32_t shift = 256u - field;
  return shift < 31 ? 1u << shift : 0;
}

// The boot sector's own record size when it gives a sane one: a positive
// value counts clusters, a negative one is a power of two in bytes.
int32_t RecordBytesField(int8_t field, uint64_t clusterBytes) {
  uint64_t bytes = 0;
  if (field > 0) {
    bytes = static_cast<uint64_t>(field) * clusterBytes;
  } else if (field < 0 && field > -31) {
    bytes = 1ull << static_cast<unsigned>(-field);
  }
  return bytes >= 512 && bytes <= kMaxRecordBytes && IsPowerOfTwo(bytes)
             ? static_cast<int32_t>(bytes)
             : 0;
}

}  // namespace

int ParseBootSector(const uint8_t* boot, size_t size, uint64_t partitionStart,
                    uint64_t totalSectors, NtfsGeometry& geometry) {
  if (!boot || size < kBootSectorBytes) return kInvalidParameter;
  uint32_t bytesPerSector = Le16(boot + 0x0B);
  if (bytesPerSector == 0) bytesPerSector = 512;
  uint32_t sectorsPerCluster = SectorsPerClusterField(boot[0x0D]);
  if (bytesPerSector < 512 || bytesPerSector > 4096 || !IsPowerOfTwo(bytesPerSector) ||
      sectorsPerCluster == 0)
    return kInvalidParameter;
  uint64_t mftCluster = Le64(boot + 0x30);
  if (mftCluster > UINT64_MAX / sectorsPerCluster) return kInvalidParameter;
  uint64_t mftOffset = mftCluster * sectorsPerCluster;
  if (totalSectors != 0 && mftOffset >= totalSectors) return kInvalidParameter;

  uint64_t clusterBytes = static_cast<uint64_t>(bytesPerSector) * sectorsPerCluster;
  int32_t recordBytes = RecordBytesField(static_cast<int8_t>(boot[0x40]), clusterBytes);
  if (recordBytes < static_cast<int32_t>(bytesPerSector))
    recordBytes = bytesPerSector == 512 ? 1024 : static_cast<int32_t>(bytesPerSector);

  geometry.partitionStart = partitionStart;
  geometry.totalSectors = totalSectors;
  geometry.mftStart = partitionStart + mftOffset;
  geometry.bytesPerSector = static_cast<int32_t>(bytesPerSector);
  geometry.sectorsPerCluster = static_cast<int32_t>(sectorsPerCluster);
  geometry.recordBytes = recordBytes;
  geometry.sectorsPerRecord = recordBytes / static_cast<int32_t>(bytesPerSector);
  geometry.mftRuns.clear();
  return kOk;
}

uint64_t RecordToSector(const NtfsGeometry& geometry, uint64_t recordNumber) {
  const uint64_t perRecord = static_cast<uint64_t>(geometry.sectorsPerRecord);
  const uint64_t perCluster = static_cast<uint64_t>(geometry.sectorsPerCluster);
  if (perRecord == 0 || perCluster == 0 || recordNumber > UINT64_MAX / perRecord)
    return geometry.partitionStart;
  const uint64_t target = recordNumber * perRecord;
  RunCursor cursor(geometry.mftRuns);
  PlacedRun run;
  while (cursor.Next(run)) {
    if (run.vcn > UINT64_MAX / perCluster || run.length > UINT64_MAX / perCluster) break;
    uint64_t first = run.vcn * perCluster;
    uint64_t sectors = run.length * perCluster;
    if (target < first) break;
    if (target - first >= sectors) continue;
    if (run.sparse || run.lcn > (UINT64_MAX - geometry.partitionStart) / perCluster) break;
    return geometry.partitionStart + run.lcn * perCluster + (target - first);
  }
  return geometry.partitionStart;
}

}  // namespace salvora
