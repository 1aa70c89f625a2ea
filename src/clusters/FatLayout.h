#pragma once
// Where everything of a FAT-family volume lies: the FAT engines derive it
// from a FAT boot sector, the exFAT engine from its own boot sector (its
// entries are 32-bit and cluster 2 starts the heap), so that the FAT table
// reader, the volume reader and the cluster probe serve both unchanged.
#include <cstdint>

namespace salvora {

// exFAT keeps a FAT of full 32-bit entries beside its allocation bitmap;
// its engine reads that FAT through the same table.
enum class FatType { kFat12, kFat16, kFat32, kExfat };

// Largest cluster a record may claim; anything above is a damaged record.
constexpr uint32_t kMaxCopyClusterBytes = 0x6400000;

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

}  // namespace salvora
