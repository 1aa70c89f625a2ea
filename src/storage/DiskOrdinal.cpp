#include "storage/DiskOrdinal.h"

#include "storage/DiskEnumerator.h"

namespace salvora {

bool ResolveOrdinal(uint32_t ordinal, OrdinalPlace& out) {
  DiskEnumerator enumerator;
  if (!enumerator.Refresh()) return false;
  PartitionRecord record;
  while (enumerator.NextRecord(record)) {
    if (record.ordinal != ordinal || record.diskNumber < 0) continue;
    out.diskNumber = static_cast<uint32_t>(record.diskNumber);
    out.firstSector = static_cast<uint64_t>(record.start);
    out.sectorCount = static_cast<uint64_t>(record.length);
    out.devicePath = record.devicePath;
    out.record = record;
    return true;
  }
  return false;
}

}  // namespace salvora
