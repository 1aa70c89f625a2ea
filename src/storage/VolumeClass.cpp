#include "storage/VolumeClass.h"

#include <cstring>
#include <initializer_list>

#include "storage/LittleEndian.h"

namespace salvora {
namespace {

bool IsPowerOfTwoUpTo128(uint8_t v) { return v != 0 && v <= 128 && (v & (v - 1)) == 0; }

bool HasBootSignature(const uint8_t* s) { return s[510] == 0x55 && s[511] == 0xAA; }

bool IsEncryptedVolume(const uint8_t* s) {
  if (std::memcmp(s + 3, "-FVE-FS-", 8) == 0) return true;
  static const uint8_t kTail[3] = {0x00, 0x1F, 0x2C};
  for (int i = 0; i < 8; ++i)
    if (s[480 + i] != 'x') return false;
  for (int i = 0; i < 19; ++i)
    if (s[488 + i] != 0xFF) return false;
  return std::memcmp(s + 507, kTail, 3) == 0;
}

bool PassesFat1216Test(const uint8_t* s) {
  return s[16] != 0 && (Le16(s + 19) != 0 || Le32(s + 32) != 0) && IsPowerOfTwoUpTo128(s[13]) &&
         Le16(s + 22) >= 1 && HasBootSignature(s);
}

// Small FAT32 volumes keep their sector count in the 16-bit field (mkfs.fat
// does so below 65536 sectors), so either field may carry it.
bool PassesFat32Test(const uint8_t* s) {
  return std::memcmp(s + 82, "FAT32   ", 8) == 0 && s[16] != 0 &&
         (Le32(s + 32) != 0 || Le16(s + 19) != 0) &&
         IsPowerOfTwoUpTo128(s[13]) && Le32(s + 36) != 0 && HasBootSignature(s);
}

bool IsExtSuperblock(const uint8_t* sb) {
  uint32_t inodes = Le32(sb), blocks = Le32(sb + 4), firstData = Le32(sb + 20);
  uint32_t logBlock = Le32(sb + 24), perGroup = Le32(sb + 32), inodesPerGroup = Le32(sb + 40);
  uint32_t firstInode = Le32(sb + 84);
  if (Le16(sb + 56) != 0xEF53 || !inodes || !blocks || !perGroup || !inodesPerGroup) return false;
  if (firstInode <= 2 || inodes <= firstInode) return false;
  if (blocks < firstData + 1) return false;
  if ((blocks - firstData - 1) / perGroup != (inodes - 1) / inodesPerGroup) return false;
  // A shift past 31 would be undefined; such a block size is not ext anyway.
  bool smallBlocks = logBlock == 0;
  return firstData == (smallBlocks ? 1u : 0u);
}

bool ExfatBootFieldsPlausible(const uint8_t* s) {
  if (std::memcmp(s + 3, "EXFAT   ", 8) != 0 || !HasBootSignature(s)) return false;
  // The BIOS parameter block of FAT lies here and must be zero, so that no
  // older system takes the volume for FAT.
  for (int offset = 11; offset < 64; ++offset)
    if (s[offset] != 0) return false;
  uint8_t sectorShift = s[108], clusterShift = s[109], fatCount = s[110];
  return sectorShift >= 9 && sectorShift <= 12 && clusterShift <= 25 - sectorShift &&
         (fatCount == 1 || fatCount == 2);
}

}  // namespace

// The volume flags and the percent in use change without the checksum
// being written again, so they are left out.
uint32_t ExfatBootChecksum(const uint8_t* region, size_t bytesPerSector) {
  uint32_t sum = 0;
  for (size_t i = 0; i < 11 * bytesPerSector; ++i) {
    if (i == 106 || i == 107 || i == 112) continue;
    sum = ((sum & 1) ? 0x80000000u : 0u) + (sum >> 1) + region[i];
  }
  return sum;
}

bool IsExfatBootRegion(const uint8_t* region, size_t length) {
  if (!region || length < 512 || !ExfatBootFieldsPlausible(region)) return false;
  size_t bytesPerSector = size_t{1} << region[108];
  if (length < 12 * bytesPerSector) return true;
  uint32_t sum = ExfatBootChecksum(region, bytesPerSector);
  const uint8_t* checksumSector = region + 11 * bytesPerSector;
  for (size_t offset = 0; offset < bytesPerSector; offset += 4)
    if (Le32(checksumSector + offset) != sum) return false;
  return true;
}

bool FindExfatBootRegion(const uint8_t* volumeStart, size_t length, size_t& regionOffset) {
  regionOffset = 0;
  if (IsExfatBootRegion(volumeStart, length)) return true;
  for (uint8_t sectorShift = 9; sectorShift <= 12; ++sectorShift) {
    size_t backup = 12 * (size_t{1} << sectorShift);
    if (length < backup + 512) break;
    const uint8_t* region = volumeStart + backup;
    if (region[108] == sectorShift && IsExfatBootRegion(region, length - backup)) {
      regionOffset = backup;
      return true;
    }
  }
  return false;
}

bool IsNtfsBootSector(const uint8_t* s, size_t length) {
  if (length < 512 || std::memcmp(s + 3, "NTFS    ", 8) != 0) return false;
  if (Le16(s + 11) % 512 != 0 || Le16(s + 14) != 0 || !IsPowerOfTwoUpTo128(s[13])) return false;
  if (Le64(s + 40) == 0) return false;
  for (int offset : {16, 17, 18, 19, 20, 22, 23, 32, 33, 34, 35})
    if (s[offset] != 0) return false;
  return HasBootSignature(s);
}

bool IsFatBootSector(const uint8_t* s, size_t length) {
  if (length < 512 || IsEncryptedVolume(s)) return false;
  uint32_t fatSize = Le16(s + 22) ? Le16(s + 22) : Le32(s + 36);
  uint32_t totalSectors = Le32(s + 32) ? Le32(s + 32) : Le16(s + 19);
  uint32_t bytesPerSector = Le16(s + 11), sectorsPerCluster = s[13];
  if (!bytesPerSector || !sectorsPerCluster || bytesPerSector % 512 != 0) return false;
  uint32_t rootSectors = Le16(s + 17) * 32u / bytesPerSector;
  uint32_t clusters =
      (totalSectors - rootSectors - s[16] * fatSize - Le16(s + 14)) / sectorsPerCluster;
  if (clusters < 0xFFF5) return PassesFat1216Test(s) || PassesFat32Test(s);
  if (clusters < 0x0FFFFFF0) return PassesFat32Test(s) || PassesFat1216Test(s);
  return false;
}

VolumeClass ClassifyVolume(const uint8_t* probe, size_t length) {
  if (IsNtfsBootSector(probe, length)) return VolumeClass::kNtfs;
  if (IsFatBootSector(probe, length)) return VolumeClass::kFat;
  size_t exfatRegion = 0;
  if (FindExfatBootRegion(probe, length, exfatRegion)) return VolumeClass::kExfat;
  if (length >= 1024 + 1024 && IsExtSuperblock(probe + 1024)) return VolumeClass::kExt;
  return VolumeClass::kOther;
}

void ExtBackupSuperblockOffsets(uint64_t (&offsets)[kExtBackupProbes]) {
  int index = 0;
  for (uint32_t logBlock = 0; logBlock <= 6; ++logBlock) {
    uint64_t blockSize = 1024ull << logBlock, perGroup = 8 * blockSize;
    uint64_t firstData = logBlock == 0 ? 1 : 0;
    for (uint64_t group : {1u, 3u}) offsets[index++] = (group * perGroup + firstData) * blockSize;
  }
}

bool IsExtBackupSuperblock(const uint8_t* sb, uint64_t offset) {
  uint32_t logBlock = Le32(sb + 24), perGroup = Le32(sb + 32), group = Le16(sb + 90);
  if (!IsExtSuperblock(sb) || logBlock > 6 || group == 0) return false;
  uint64_t blockSize = 1024ull << logBlock;
  return offset == (uint64_t{group} * perGroup + Le32(sb + 20)) * blockSize;
}

const char* VolumeClassName(VolumeClass volumeClass) {
  switch (volumeClass) {
    case VolumeClass::kNtfs: return "NTFS";
    case VolumeClass::kFat: return "FAT";
    case VolumeClass::kExfat: return "exFAT";
    case VolumeClass::kExt: return "ext";
    case VolumeClass::kOther: return "other";
  }
  return "other";
}

}  // namespace salvora
