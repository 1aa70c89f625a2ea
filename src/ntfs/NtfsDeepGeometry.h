#pragma once
// The cluster size of a volume whose boot sector is gone: a first guess
// from the size of the scanned area, then what each FILE record's own
// $DATA says (allocated bytes over the clusters its runs cover).
#include <cstddef>
#include <cstdint>

namespace salvora {

// Sectors per cluster that a formatter would choose for `sectorCount`
// sectors of `bytesPerSector` bytes.
int32_t DefaultSectorsPerCluster(int32_t bytesPerSector, uint64_t sectorCount);

// The sectors per cluster that the first $DATA of a repaired FILE record
// implies, or 0 when it implies nothing (resident data, no runs, a value
// no volume could have). The walk stops at an $ATTRIBUTE_LIST, since the
// runs behind it belong to other records.
int32_t InferSectorsPerCluster(const uint8_t* record, size_t recordBytes, int32_t bytesPerSector);

}  // namespace salvora
