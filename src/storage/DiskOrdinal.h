#pragma once
// Scanning or imaging an entry of the disk list by the number the list
// shows for it ("@3").
#include <cstdint>
#include <string>

#include "storage/PartitionRecord.h"

namespace salvora {

struct OrdinalPlace {
  uint32_t diskNumber = 0;
  uint64_t firstSector = 0;  // on the disk, in its logical sectors
  uint64_t sectorCount = 0;
  std::string devicePath;  // the partition's node, or the disk's for other entries
  PartitionRecord record;
};

// Looks the ordinal up in a fresh disk list; false when no entry has it.
bool ResolveOrdinal(uint32_t ordinal, OrdinalPlace& out);

}  // namespace salvora
