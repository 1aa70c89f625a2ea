#pragma once
// The FAT boot sector: the parameter-block fields the FAT engines use and
// the volume layout derived from them. Every field comes from a disk that
// may be damaged or hostile, so a layout is produced only when all of it is
// consistent; engines never compute a sector from an unchecked field.
#include <cstddef>
#include <cstdint>

#include "clusters/FatLayout.h"

namespace salvora {

// How much of the volume's start the engines read to find the boot sector.
constexpr size_t kFatBootBlockBytes = 4096;

// The raw fields, as they lie in the volume's first sector.
struct FatBootFields {
  uint16_t bytesPerSector = 0;    // offset 11
  uint8_t sectorsPerCluster = 0;  // 13
  uint16_t reservedSectors = 0;   // 14
  uint8_t fatCount = 0;           // 16
  uint16_t rootEntryCount = 0;    // 17
  uint16_t totalSectors16 = 0;    // 19
  uint16_t fatSectors16 = 0;      // 22
  uint32_t totalSectors32 = 0;    // 32
  uint32_t fatSectors32 = 0;      // 36
  uint32_t rootCluster = 0;       // 44
  bool fat32Label = false;        // "FAT32   " at 82
  bool bootSignature = false;     // 0x55 0xAA at 510
};

// Reads the fields; false when fewer than 512 bytes are given.
bool ReadFatBootFields(const uint8_t* sector, size_t length, FatBootFields& out);

// 0, or 87 when the fields do not describe a volume that can be walked:
// a sector size other than 512..4096, sectors per cluster not a power of
// two up to 128, no FAT, a data area beyond the volume, a root cluster
// outside the data area, and the like.
int DeriveFatLayout(const FatBootFields& fields, FatLayout& out);

// Reads and checks a boot block in one go: true with the layout when the
// sector is a FAT boot sector the engines can work with.
bool RecognizeFatBootSector(const uint8_t* sector, size_t length, FatLayout& out);

}  // namespace salvora
