#include "ext/ExtGroupTable.h"

#include <algorithm>

#include "ext/ExtChecksum.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint32_t kChecksumOffset = 0x1E;
// Backup tables searched for a descriptor the primary table lost.
constexpr uint32_t kBackupTablesTried = 8;

bool ChecksumHolds(const ExtSuperblock& sb, uint32_t group, const uint8_t* raw) {
  uint32_t size = sb.Is64Bit() ? sb.descriptorSize : 32;
  uint16_t stored = Le16(raw + kChecksumOffset);
  const uint8_t zero[2] = {0, 0};
  if (sb.MetadataChecksums()) {
    uint32_t crc = Crc32cLe32(sb.checksumSeed, group);
    crc = Crc32c(crc, raw, kChecksumOffset);
    crc = Crc32c(crc, zero, 2);
    crc = Crc32c(crc, raw + 32, size - 32);
    return static_cast<uint16_t>(crc) == stored;
  }
  if (!sb.GroupChecksums()) return true;
  uint16_t crc = Crc16(0xFFFF, sb.uuid, 16);
  const uint8_t groupBytes[4] = {static_cast<uint8_t>(group), static_cast<uint8_t>(group >> 8),
                                 static_cast<uint8_t>(group >> 16),
                                 static_cast<uint8_t>(group >> 24)};
  crc = Crc16(crc, groupBytes, 4);
  crc = Crc16(crc, raw, kChecksumOffset);
  if (size > 32) crc = Crc16(crc, raw + 32, size - 32);
  return crc == stored;
}

// Block of descriptor table block `index` in the copy kept by `copyGroup`
// (0: the primary). Meta groups keep their descriptors in their first,
// second and last group instead.
bool TableBlock(const ExtSuperblock& sb, uint32_t index, uint32_t copyGroup, uint64_t& block) {
  uint32_t perBlock = sb.blockSize / (sb.Is64Bit() ? sb.descriptorSize : 32);
  if (!sb.MetaGroups() || index < sb.firstMetaGroup) {
    if (!sb.GroupHasSuperblock(copyGroup)) return false;
    block = sb.GroupFirstBlock(copyGroup) + 1 + index;
    return true;
  }
  uint64_t first = static_cast<uint64_t>(index) * perBlock;
  uint64_t group = copyGroup == 0 ? first : copyGroup == 1 ? first + 1 : first + perBlock - 1;
  if (group >= sb.groupCount) return false;
  uint32_t g = static_cast<uint32_t>(group);
  block = sb.GroupFirstBlock(g) + (sb.GroupHasSuperblock(g) ? 1 : 0);
  return true;
}

std::vector<uint32_t> CopyGroups(const ExtSuperblock& sb) {
  std::vector<uint32_t> groups{0};
  if (sb.MetaGroups()) return {0, 1, 2};
  for (uint32_t g = 1; g < sb.groupCount && groups.size() <= kBackupTablesTried; ++g)
    if (sb.GroupHasSuperblock(g)) groups.push_back(g);
  return groups;
}

}  // namespace

bool ParseExtGroup(const ExtSuperblock& sb, uint32_t group, const uint8_t* raw, ExtGroup& out) {
  ExtGroup g;
  g.blockBitmap = Le32(raw);
  g.inodeBitmap = Le32(raw + 4);
  g.inodeTable = Le32(raw + 8);
  g.flags = Le16(raw + 0x12);
  if (sb.Is64Bit() && sb.descriptorSize >= 64) {
    g.blockBitmap |= static_cast<uint64_t>(Le32(raw + 0x20)) << 32;
    g.inodeBitmap |= static_cast<uint64_t>(Le32(raw + 0x24)) << 32;
    g.inodeTable |= static_cast<uint64_t>(Le32(raw + 0x28)) << 32;
  }
  uint64_t tableBlocks =
      (static_cast<uint64_t>(sb.inodesPerGroup) * sb.inodeSize + sb.blockSize - 1) / sb.blockSize;
  if (g.blockBitmap >= sb.blocksCount || g.inodeBitmap >= sb.blocksCount) return false;
  // The superblock's own block holds none of them: a zeroed descriptor
  // (no checksum to fail without group checksums) is no descriptor.
  if (g.blockBitmap <= sb.firstDataBlock || g.inodeBitmap <= sb.firstDataBlock) return false;
  if (g.inodeTable <= sb.firstDataBlock || g.inodeTable >= sb.blocksCount ||
      sb.blocksCount - g.inodeTable < tableBlocks)
    return false;
  if (!ChecksumHolds(sb, group, raw)) return false;
  g.usable = true;
  out = g;
  return true;
}

int ReadExtGroups(ExtByteSource& bytes, const ExtSuperblock& sb, std::vector<ExtGroup>& out) {
  uint32_t size = sb.Is64Bit() ? sb.descriptorSize : 32;
  uint32_t perBlock = sb.blockSize / size;
  uint32_t tableBlocks = (sb.groupCount + perBlock - 1) / perBlock;
  out.assign(sb.groupCount, ExtGroup{});
  std::vector<uint8_t> block(sb.blockSize);
  uint32_t usable = 0;
  for (uint32_t copy : CopyGroups(sb)) {
    for (uint32_t index = 0; index < tableBlocks; ++index) {
      uint32_t firstGroup = index * perBlock;
      uint32_t groups = std::min(perBlock, sb.groupCount - firstGroup);
      bool missing = false;
      for (uint32_t i = 0; i < groups; ++i) missing = missing || !out[firstGroup + i].usable;
      uint64_t at = 0;
      if (!missing || !TableBlock(sb, index, copy, at) || at >= sb.blocksCount) continue;
      if (bytes.Read(at * sb.blockSize, sb.blockSize, block.data()) != kOk) continue;
      for (uint32_t i = 0; i < groups; ++i) {
        ExtGroup& group = out[firstGroup + i];
        if (!group.usable && ParseExtGroup(sb, firstGroup + i, block.data() + i * size, group))
          ++usable;
      }
    }
  }
  return usable > 0 ? kOk : kInvalidParameter;
}

}  // namespace salvora
