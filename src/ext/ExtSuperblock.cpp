#include "ext/ExtSuperblock.h"

#include <cstring>

#include "ext/ExtChecksum.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint16_t kExtMagic = 0xEF53;
constexpr uint32_t kChecksumOffset = 0x3FC;
constexpr uint32_t kIncompatChecksumSeed = 0x2000;
constexpr uint8_t kJournalBackupBlocks = 1;
// Features whose ext4 layout a reader must know (extents, 64-bit, flex_bg,
// inline data ...), as against the journal that makes ext3.
constexpr uint32_t kExt4Incompat = 0x40 | 0x80 | 0x200 | 0x8000;
constexpr uint32_t kExt4RoCompat = 0x8 | 0x10 | 0x40 | 0x400;

bool IsPowerOf(uint32_t value, uint32_t base) {
  while (value > 1 && value % base == 0) value /= base;
  return value == 1;
}

bool ChecksumMatches(const uint8_t* raw) {
  return Crc32c(~0u, raw, kChecksumOffset) == Le32(raw + kChecksumOffset);
}

bool SizesPlausible(const ExtSuperblock& sb) {
  if (sb.blockSize < 1024 || sb.blockSize > 65536) return false;
  if (sb.inodeSize < 128 || sb.inodeSize > sb.blockSize || (sb.inodeSize & (sb.inodeSize - 1)))
    return false;
  if (sb.descriptorSize < 32 || sb.descriptorSize > 1024 ||
      (sb.descriptorSize & (sb.descriptorSize - 1)))
    return false;
  if (sb.blocksPerGroup == 0 || sb.blocksPerGroup > 8u * sb.blockSize) return false;
  if (sb.inodesPerGroup == 0 || sb.inodesPerGroup > 8u * sb.blockSize) return false;
  if (sb.firstDataBlock != (sb.blockSize == 1024 ? 1u : 0u)) return false;
  return sb.blocksCount > sb.firstDataBlock;
}

}  // namespace

const char* ExtSuperblock::Generation() const {
  if ((featureIncompat & kExt4Incompat) || (featureRoCompat & kExt4RoCompat)) return "ext4";
  return HasJournal() ? "ext3" : "ext2";
}

bool ExtSuperblock::GroupHasSuperblock(uint32_t group) const {
  if (group == 0) return true;
  if (SparseSuper2()) return group == backupGroups[0] || group == backupGroups[1];
  if (!SparseSuper() || group == 1) return true;
  return IsPowerOf(group, 3) || IsPowerOf(group, 5) || IsPowerOf(group, 7);
}

bool ParseExtSuperblock(const uint8_t* raw, uint64_t sourceBytes, ExtSuperblock& out) {
  ExtSuperblock sb;
  if (Le16(raw + 0x38) != kExtMagic) return false;
  uint32_t logBlock = Le32(raw + 0x18);
  if (logBlock > 6) return false;
  sb.blockSize = 1024u << logBlock;
  sb.inodesCount = Le32(raw);
  sb.firstDataBlock = Le32(raw + 0x14);
  sb.blocksPerGroup = Le32(raw + 0x20);
  sb.inodesPerGroup = Le32(raw + 0x28);
  uint32_t revision = Le32(raw + 0x4C);
  if (revision >= 1) {
    sb.firstInode = Le32(raw + 0x54);
    sb.inodeSize = Le16(raw + 0x58);
    sb.groupNumber = Le16(raw + 0x5A);
    sb.featureCompat = Le32(raw + 0x5C);
    sb.featureIncompat = Le32(raw + 0x60);
    sb.featureRoCompat = Le32(raw + 0x64);
  }
  std::memcpy(sb.uuid, raw + 0x68, sizeof sb.uuid);
  sb.journalInode = Le32(raw + 0xE0);
  sb.journalBackup = raw[0xFD] == kJournalBackupBlocks;
  std::memcpy(sb.journalMap, raw + 0x10C, sizeof sb.journalMap);
  sb.journalBytes = Le32(raw + 0x10C + 64) | static_cast<uint64_t>(Le32(raw + 0x10C + 60)) << 32;
  sb.firstMetaGroup = Le32(raw + 0x104);
  sb.backupGroups[0] = Le32(raw + 0x24C);
  sb.backupGroups[1] = Le32(raw + 0x250);
  sb.blocksCount = Le32(raw + 4);
  if (sb.Is64Bit()) {
    sb.blocksCount |= static_cast<uint64_t>(Le32(raw + 0x150)) << 32;
    sb.descriptorSize = Le16(raw + 0xFE);
  }
  if (sb.descriptorSize == 0) sb.descriptorSize = 32;
  if (!SizesPlausible(sb)) return false;
  if (sb.MetadataChecksums() && !ChecksumMatches(raw)) return false;
  uint64_t groups = (sb.blocksCount - sb.firstDataBlock + sb.blocksPerGroup - 1) / sb.blocksPerGroup;
  if (groups == 0 || groups > UINT32_MAX / sb.inodesPerGroup) return false;
  // The descriptor table lies at the volume's start: a source that cannot
  // hold it holds no part of this volume worth reading.
  if (groups > sourceBytes / sb.descriptorSize) return false;
  if (groups * sb.inodesPerGroup < sb.inodesCount || sb.inodesCount == 0) return false;
  sb.groupCount = static_cast<uint32_t>(groups);
  if (sb.firstInode <= kExtRootInode || sb.firstInode > sb.inodesCount) return false;
  // A volume cut short (a partial image) is still read; one that claims
  // more than a thousand times the source is not this volume.
  if (sb.blocksCount / 1024 > sourceBytes / sb.blockSize + 1) return false;
  sb.checksumSeed = (sb.featureIncompat & kIncompatChecksumSeed) ? Le32(raw + 0x270)
                                                                 : Crc32c(~0u, sb.uuid, 16);
  out = sb;
  return true;
}

}  // namespace salvora
