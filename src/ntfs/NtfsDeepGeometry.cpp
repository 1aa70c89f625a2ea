#include "ntfs/NtfsDeepGeometry.h"

#include "ntfs/NtfsRecord.h"
#include "ntfs/NtfsRunList.h"

namespace salvora {
namespace {

// NTFS clusters reach 2 MiB; anything larger is a damaged record.
constexpr uint64_t kMaxClusterBytes = 2u << 20;

bool IsPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

int32_t DefaultSectorsPerCluster(int32_t bytesPerSector, uint64_t sectorCount) {
  if (bytesPerSector <= 0) return 8;
  double mib = static_cast<double>(sectorCount) * bytesPerSector / (1 << 20);
  double k = bytesPerSector / 512.0;
  if (mib > 7 * k && mib <= 512 * k) return 1;
  if (mib > 512 * k && mib <= 1024 * k) return 2;
  if (mib > 1024 * k && mib <= 2048 * k) return 4;
  return 8;
}

int32_t InferSectorsPerCluster(const uint8_t* record, size_t recordBytes, int32_t bytesPerSector) {
  if (bytesPerSector <= 0 || !HasFileSignature(record, recordBytes)) return 0;
  AttributeWalk walk(record, recordBytes);
  Attribute attribute;
  while (walk.Next(attribute)) {
    if (attribute.type == kAttrAttributeList) return 0;
    if (attribute.type != kAttrData) continue;
    if (!attribute.nonResident) return 0;
    RunList runs;
    DecodeRunList(attribute, runs);
    uint64_t clusters = RunListClusters(runs);
    if (clusters == 0) return 0;
    uint64_t sectors = attribute.allocatedSize / static_cast<uint64_t>(bytesPerSector) / clusters;
    if (!IsPowerOfTwo(sectors) || sectors * bytesPerSector > kMaxClusterBytes) return 0;
    return static_cast<int32_t>(sectors);
  }
  return 0;
}

}  // namespace salvora
