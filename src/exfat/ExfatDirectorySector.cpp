#include "exfat/ExfatDirectorySector.h"

#include "exfat/ExfatEntrySet.h"

namespace salvora {
namespace {

enum class Slot { kUnused, kFileSet, kOther, kForeign };

bool AllZero(const uint8_t* bytes, int count) {
  for (int i = 0; i < count; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

// Entry types that are never deleted: the root's bitmap, up-case table,
// label and GUID, and padding.
bool IsVolumeEntryType(uint8_t type) {
  return (type >= 0x81 && type <= 0x83) || type == 0xA0 || type == 0xA1;
}

Slot Classify(const uint8_t* slot) {
  if (slot[0] == kExfatEndOfDirectory) return Slot::kUnused;
  if (IsVolumeEntryType(slot[0])) return Slot::kOther;
  switch (slot[0] | kExfatInUse) {
    case kExfatFileEntry:
      return ClaimedSetSlots(slot) != 0 ? Slot::kFileSet : Slot::kForeign;
    case kExfatStreamEntry:
      return slot[2] == 0 && slot[3] != 0 && AllZero(slot + 6, 2) && AllZero(slot + 16, 4)
                 ? Slot::kFileSet
                 : Slot::kForeign;
    case kExfatNameEntry:
      return slot[1] == 0 ? Slot::kFileSet : Slot::kForeign;
    case 0xE0:  // vendor extension and vendor allocation, secondaries of a set
    case 0xE1:
      return Slot::kOther;
    default:
      return Slot::kForeign;
  }
}

}  // namespace

bool LooksLikeExfatDirectorySector(const uint8_t* sector, uint32_t sectorBytes) {
  if (!sector) return false;
  bool fileSet = false;
  for (uint32_t at = 0; at + kExfatSlotBytes <= sectorBytes; at += kExfatSlotBytes) {
    Slot slot = Classify(sector + at);
    if (slot == Slot::kForeign) return false;
    fileSet = fileSet || slot == Slot::kFileSet;
  }
  return fileSet;
}

}  // namespace salvora
