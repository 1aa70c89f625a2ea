#include "fat/FatBootSector.h"

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// Cluster counts at which the FAT entry width changes; a FAT12/16 volume's
// type follows from its cluster count alone.
constexpr uint32_t kFat12ClusterLimit = 4085;
constexpr uint32_t kFat16ClusterLimit = 65525;
// Highest cluster numbers an entry can name before the reserved values.
constexpr uint32_t kFat32ClusterLimit = 0x0FFFFFF5;

bool IsPowerOfTwoUpTo(uint32_t value, uint32_t limit) {
  return value != 0 && value <= limit && (value & (value - 1)) == 0;
}

// FAT32 keeps its FAT size in the 32-bit field only; the label is a second
// opinion for volumes that left the 16-bit field non-zero but have no root
// directory area, as FAT32 never does.
bool LooksFat32(const FatBootFields& f) {
  if (f.fatSectors32 == 0) return false;
  return f.fatSectors16 == 0 || (f.fat32Label && f.rootEntryCount == 0);
}

uint32_t DataClusterLimit(FatType type) {
  switch (type) {
    case FatType::kFat12:
      return kFat12ClusterLimit - 1;
    case FatType::kFat16:
      return kFat16ClusterLimit - 1;
    case FatType::kFat32:
      return kFat32ClusterLimit - 1;
    case FatType::kExfat:
      return 0;  // never derived from a FAT boot sector
  }
  return 0;
}

}  // namespace

bool ReadFatBootFields(const uint8_t* s, size_t length, FatBootFields& out) {
  if (!s || length < 512) return false;
  out.bytesPerSector = Le16(s + 11);
  out.sectorsPerCluster = s[13];
  out.reservedSectors = Le16(s + 14);
  out.fatCount = s[16];
  out.rootEntryCount = Le16(s + 17);
  out.totalSectors16 = Le16(s + 19);
  out.fatSectors16 = Le16(s + 22);
  out.totalSectors32 = Le32(s + 32);
  out.fatSectors32 = Le32(s + 36);
  out.rootCluster = Le32(s + 44);
  out.fat32Label = std::memcmp(s + 82, "FAT32   ", 8) == 0;
  out.bootSignature = s[510] == 0x55 && s[511] == 0xAA;
  return true;
}

int DeriveFatLayout(const FatBootFields& f, FatLayout& out) {
  if (f.bytesPerSector < 512 || f.bytesPerSector > 4096 ||
      !IsPowerOfTwoUpTo(f.bytesPerSector, 4096) || !IsPowerOfTwoUpTo(f.sectorsPerCluster, 128) ||
      f.reservedSectors == 0 || f.fatCount == 0)
    return kInvalidParameter;
  FatLayout layout;
  bool fat32 = LooksFat32(f);
  layout.bytesPerSector = f.bytesPerSector;
  layout.sectorsPerCluster = f.sectorsPerCluster;
  layout.fatStart = f.reservedSectors;
  layout.fatSectors = fat32 ? f.fatSectors32 : f.fatSectors16;
  layout.totalSectors = f.totalSectors16 != 0 ? f.totalSectors16 : f.totalSectors32;
  if (layout.fatSectors == 0 || (!fat32 && f.rootEntryCount == 0)) return kInvalidParameter;

  uint64_t fatArea = static_cast<uint64_t>(f.fatCount) * layout.fatSectors;
  layout.rootDirSector = layout.fatStart + fatArea;
  if (!fat32) {
    uint32_t rootBytes = static_cast<uint32_t>(f.rootEntryCount) * 32;
    layout.rootDirSectors = (rootBytes + f.bytesPerSector - 1) / f.bytesPerSector;
  }
  layout.firstDataSector = layout.rootDirSector + layout.rootDirSectors;
  if (layout.totalSectors <= layout.firstDataSector) return kInvalidParameter;

  uint64_t clusters = (layout.totalSectors - layout.firstDataSector) / f.sectorsPerCluster;
  if (clusters == 0) return kInvalidParameter;
  if (fat32) {
    layout.type = FatType::kFat32;
  } else {
    layout.type = clusters < kFat12ClusterLimit ? FatType::kFat12 : FatType::kFat16;
  }
  uint64_t addressable = layout.FatEntryCount() > 2 ? layout.FatEntryCount() - 2 : 0;
  clusters = std::min<uint64_t>({clusters, addressable, DataClusterLimit(layout.type)});
  if (clusters == 0) return kInvalidParameter;
  layout.clusterCount = static_cast<uint32_t>(clusters);

  if (fat32) {
    layout.rootCluster = f.rootCluster;
    if (!layout.IsDataCluster(layout.rootCluster)) return kInvalidParameter;
    layout.rootDirSector = layout.ClusterSector(layout.rootCluster);
  }
  out = layout;
  return kOk;
}

bool RecognizeFatBootSector(const uint8_t* sector, size_t length, FatLayout& out) {
  FatBootFields fields;
  if (!ReadFatBootFields(sector, length, fields) || !fields.bootSignature) return false;
  return DeriveFatLayout(fields, out) == kOk;
}

}  // namespace salvora
