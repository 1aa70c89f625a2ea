#include "clusters/FatTable.h"

#include <algorithm>

#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint32_t kFat32EntryMask = 0x0FFFFFFF;

// Values from which an entry stops being a pointer (bad-cluster mark and
// end-of-chain marks).
uint32_t ReservedFrom(FatType type) {
  switch (type) {
    case FatType::kFat12:
      return 0xFF7;
    case FatType::kFat16:
      return 0xFFF7;
    case FatType::kFat32:
      return 0x0FFFFFF7;
    case FatType::kExfat:
      return 0xFFFFFFF7;
  }
  return 0;
}

}  // namespace

FatTable::FatTable(const FatVolumeReader& volume)
    : volume_(volume),
      entryLimit_(static_cast<uint32_t>(std::min<uint64_t>(
          volume.layout.FatEntryCount(), static_cast<uint64_t>(volume.layout.MaxCluster()) + 1))) {}

int FatTable::LoadWindowAt(uint64_t byteOffset) {
  uint32_t sectorSize = Layout().bytesPerSector;
  uint64_t fatSector = byteOffset / sectorSize;
  if (fatSector >= Layout().fatSectors) return kInvalidParameter;
  if (fatSector == failedSector_) return failedResult_;
  uint32_t capacitySectors = kFatWindowBytes / sectorSize;
  uint64_t sectors = std::min<uint64_t>(capacitySectors, Layout().fatSectors - fatSector);
  window_.resize(sectors * sectorSize);
  windowBytes_ = 0;
  uint32_t got = 0;
  int result = volume_.Read(Layout().fatStart + fatSector, static_cast<uint32_t>(sectors),
                            window_.data(), got);
  if (got == 0) {
    failedSector_ = fatSector;
    failedResult_ = result != kOk ? result : kReadFault;
    return failedResult_;
  }
  failedSector_ = UINT64_MAX;
  windowStartByte_ = fatSector * sectorSize;
  windowBytes_ = static_cast<uint64_t>(got) * sectorSize;
  return kOk;
}

int FatTable::Entry(uint32_t cluster, uint32_t& value) {
  value = 0;
  if (cluster >= entryLimit_) return kInvalidParameter;
  uint32_t bits = Layout().FatEntryBits();
  uint64_t offset = static_cast<uint64_t>(cluster) * bits / 8;
  uint32_t width = bits == 32 ? 4 : 2;
  bool inside = offset >= windowStartByte_ && offset + width <= windowStartByte_ + windowBytes_;
  if (!inside) {
    int result = LoadWindowAt(offset);
    if (result != kOk) return result;
    if (offset + width > windowStartByte_ + windowBytes_) return kReadFault;
  }
  const uint8_t* p = window_.data() + (offset - windowStartByte_);
  if (bits == 32) {
    // FAT32 entries keep 4 reserved high bits; exFAT uses all 32.
    value = Layout().IsFat32() ? Le32(p) & kFat32EntryMask : Le32(p);
  } else if (bits == 12) {
    value = (cluster & 1) ? Le16(p) >> 4 : Le16(p) & 0xFFF;
  } else {
    value = Le16(p);
  }
  return kOk;
}

bool FatTable::IsChainPointer(uint32_t value) const {
  return value < ReservedFrom(Layout().type) && Layout().IsDataCluster(value);
}

int FatTable::NextCluster(uint32_t cluster, uint32_t& next) {
  next = 0;
  uint32_t value = 0;
  int result = Entry(cluster, value);
  if (result != kOk) return result;
  if (value != 0) {
    if (IsChainPointer(value)) next = value;
    return kOk;
  }
  uint32_t following = cluster + 1;
  if (!Layout().IsDataCluster(following)) return kOk;
  uint32_t followingValue = 0;
  if (Entry(following, followingValue) == kOk && followingValue == 0) next = following;
  return kOk;
}

int FatTable::NextFreeCluster(uint32_t cluster, uint32_t& next) {
  next = 0;
  for (uint32_t c = std::max<uint32_t>(cluster, 1) + 1; Layout().IsDataCluster(c); ++c) {
    uint32_t value = 0;
    int result = Entry(c, value);
    if (result != kOk) return result;
    if (value == 0) {
      next = c;
      return kOk;
    }
  }
  return kOk;
}

}  // namespace salvora
