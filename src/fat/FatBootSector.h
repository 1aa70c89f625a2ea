#pragma once
// The FAT boot sector: the parameter-block fields the FAT engines use and
// the volume layout derived from them. Every field comes from a disk that
// may be damaged or hostile, so a layout is produced only when all of it is
// consistent; engines never compute a sector from an unchecked field.
#include <cstddef>
#include <cstdint>

namespace salvora {

// How much of the volume's start the engines read to find the boot sector.
constexpr size_t kFatBootBlockBytes = 4096;

// exFAT keeps a FAT of full 32-bit entries beside its allocation bitmap;
// its engine reads that FAT through the same table.
enum class FatType { kFat12, kFat16, kFat32, kExfat };

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

// Where everything of a FAT volume lies, in volume-relative sectors of
// `bytesPerSector` bytes.
struct FatLayout {
  FatType type = FatType::kFat16;
  uint32_t bytesPerSector = 512;
  uint32_t sectorsPerCluster = 1;
  uint64_t fatStart = 0;         // first sector of the first FAT
  uint32_t fatSectors = 0;       // sectors of one FAT
  uint64_t rootDirSector = 0;    // FAT12/16: the fixed root directory
  uint32_t rootDirSectors = 0;   // FAT12/16: its length; 0 on FAT32
  uint64_t firstDataSector = 0;  // sector of cluster 2
  uint64_t totalSectors = 0;
  uint32_t rootCluster = 0;   // FAT32: the root's first cluster; 0 names the fixed root
  uint32_t clusterCount = 0;  // data clusters: 2 .. clusterCount + 1 exist

  bool IsFat32() const { return type == FatType::kFat32; }
  uint32_t ClusterBytes() const { return bytesPerSector * sectorsPerCluster; }
  uint32_t MaxCluster() const { return clusterCount + 1; }
  bool IsDataCluster(uint32_t cluster) const { return cluster >= 2 && cluster <= MaxCluster(); }
  // First sector of a cluster; cluster 0 is the fixed root on FAT12/16.
  uint64_t ClusterSector(uint32_t cluster) const;
  // Bits of one FAT entry: 12, 16 or 32 (FAT32 and exFAT).
  uint32_t FatEntryBits() const;
  // Number of entries the first FAT can hold (and the engines may read).
  uint32_t FatEntryCount() const;
  // Keeps the layout to the first `readableSectors` sectors of the volume:
  // an image cut short, or a boot sector claiming more than the disk has,
  // then offers no FAT sector and no cluster past the source's end, so that
  // no walk pays a failed read for every entry the source does not hold.
  void LimitTo(uint64_t readableSectors);
};

// 0, or 87 when the fields do not describe a volume that can be walked:
// a sector size other than 512..4096, sectors per cluster not a power of
// two up to 128, no FAT, a data area beyond the volume, a root cluster
// outside the data area, and the like.
int DeriveFatLayout(const FatBootFields& fields, FatLayout& out);

// Reads and checks a boot block in one go: true with the layout when the
// sector is a FAT boot sector the engines can work with.
bool RecognizeFatBootSector(const uint8_t* sector, size_t length, FatLayout& out);

}  // namespace salvora
