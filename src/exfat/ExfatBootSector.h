#pragma once
// The exFAT boot sector: where the FAT, the cluster heap and the root
// directory lie. The volume is described with the FAT family's layout type
// (exFAT entries are 32-bit, cluster 2 starts the heap), so that the FAT
// table reader and the cluster probe serve exFAT unchanged. Every field
// comes from a disk that may be damaged or hostile: a layout is produced
// only when all of it is consistent, and it never reaches past the source.
#include <cstddef>
#include <cstdint>

#include "clusters/FatLayout.h"

namespace salvora {

// The boot region and its backup, in the largest sector size: what the
// engine reads to find a usable boot sector.
constexpr size_t kExfatBootAreaBytes = 24 * 4096;

// The raw fields, as they lie in the boot sector.
struct ExfatBootFields {
  uint64_t volumeLength = 0;       // offset 72, sectors
  uint32_t fatOffset = 0;          // 80, sectors
  uint32_t fatLength = 0;          // 84, sectors
  uint32_t clusterHeapOffset = 0;  // 88, sectors
  uint32_t clusterCount = 0;       // 92
  uint32_t rootCluster = 0;        // 96
  uint8_t sectorShift = 0;         // 108
  uint8_t clusterShift = 0;        // 109
  uint8_t fatCount = 0;            // 110
};

// Reads the fields; false when fewer than 512 bytes are given.
bool ReadExfatBootFields(const uint8_t* sector, size_t length, ExfatBootFields& out);

// 0, or 87 when the fields do not describe a volume that can be walked.
// `availableSectors` is what the source holds from the volume's start (in
// the volume's own sectors): clusters beyond it do not count.
int DeriveExfatLayout(const ExfatBootFields& fields, uint64_t availableSectors, FatLayout& out);

}  // namespace salvora
