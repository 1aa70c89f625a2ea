#include "deep/FileSystemMetadata.h"

#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/PatternSearch.h"
#include "deep/FatDirectorySector.h"
#include "exfat/ExfatDirectorySector.h"

namespace salvora {
namespace {

const uint8_t kNtfsUtf16[] = {'N', 0, 'T', 0, 'F', 0, 'S', 0};
const uint8_t kStaUtf16[] = {'$', 0, 'S', 0, 'T', 0, 'A', 0};
const char* const kBootOemNames[] = {"MSDOS5.0", "MSWIN4.0", "MSWIN4.1", "NTFS    ", "EXFAT   "};

bool IsBootSector(const uint8_t* sector) {
  if (sector[0] != 0xEB || sector[2] != 0x90) return false;
  for (const char* name : kBootOemNames)
    if (std::memcmp(sector + 3, name, 8) == 0) return true;
  return false;
}

}  // namespace

bool IsVolumeStructureSector(const uint8_t* sector, uint32_t sectorBytes) {
  if (!sector || sectorBytes < 32) return false;
  if (HasText(sector, "FILE") || HasText(sector, "INDX")) return true;
  if (HasText(sector, "RSTR") &&
      FindForward(sector, sectorBytes, kNtfsUtf16, sizeof(kNtfsUtf16)) != kNoMatch)
    return true;
  return HasBytes(sector, kStaUtf16) || IsBootSector(sector);
}

bool IsFileSystemMetadataSector(const uint8_t* sector, uint32_t sectorBytes) {
  if (!sector || sectorBytes < 32) return false;
  return IsVolumeStructureSector(sector, sectorBytes) ||
         IsFatDirectorySector(sector, sectorBytes) ||
         LooksLikeExfatDirectorySector(sector, sectorBytes);
}

}  // namespace salvora
