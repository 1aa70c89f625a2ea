#include "ext/ExtInode.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ext/ExtChecksum.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint32_t kOldInodeBytes = 128;
constexpr uint32_t kChecksumLo = 0x7C;
constexpr uint32_t kChecksumHi = 0x82;
constexpr uint64_t kFiletimeAt1970 = 116444736000000000ull;
constexpr uint32_t kInlineAttributeMagic = 0xEA020000;

bool ChecksumHolds(const ExtSuperblock& sb, uint32_t number, const uint8_t* raw,
                   uint32_t extraBytes) {
  uint32_t crc = ExtInodeSeed(sb, number, Le32(raw + 0x64));
  const uint8_t zero[2] = {0, 0};
  crc = Crc32c(crc, raw, kChecksumLo);
  crc = Crc32c(crc, zero, 2);
  crc = Crc32c(crc, raw + kChecksumLo + 2, kOldInodeBytes - kChecksumLo - 2);
  bool hasHigh = sb.inodeSize > kOldInodeBytes && extraBytes >= 4;
  if (sb.inodeSize > kOldInodeBytes) {
    crc = Crc32c(crc, raw + kOldInodeBytes, kChecksumHi - kOldInodeBytes);
    uint32_t next = kChecksumHi;
    if (hasHigh) {
      crc = Crc32c(crc, zero, 2);
      next += 2;
    }
    crc = Crc32c(crc, raw + next, sb.inodeSize - next);
  }
  if (static_cast<uint16_t>(crc) != Le16(raw + kChecksumLo)) return false;
  return !hasHigh || static_cast<uint16_t>(crc >> 16) == Le16(raw + kChecksumHi);
}

// Inline data past the first 60 bytes lives in the "system.data" attribute
// of the inode's extra space.
void ReadInlineTail(const ExtSuperblock& sb, const uint8_t* raw, uint32_t extraBytes,
                    ExtInode& inode) {
  uint32_t start = kOldInodeBytes + extraBytes;
  if (start + 4 > sb.inodeSize || Le32(raw + start) != kInlineAttributeMagic) return;
  const uint8_t* area = raw + start + 4;
  uint32_t areaBytes = sb.inodeSize - start - 4;
  for (uint32_t at = 0; at + 16 <= areaBytes && Le32(area + at) != 0;) {
    uint8_t nameLength = area[at];
    uint8_t nameIndex = area[at + 1];
    uint16_t valueOffset = Le16(area + at + 2);
    uint32_t valueSize = Le32(area + at + 8);
    if (at + 16 + nameLength > areaBytes) return;
    bool isData = nameIndex == 7 && nameLength == 4 && std::memcmp(area + at + 16, "data", 4) == 0;
    if (isData && valueOffset <= areaBytes && valueSize <= areaBytes - valueOffset) {
      inode.inlineTail.assign(area + valueOffset, area + valueOffset + valueSize);
      return;
    }
    at += (16 + nameLength + 3) & ~3u;
  }
}

}  // namespace

uint32_t ExtInodeSeed(const ExtSuperblock& sb, uint32_t number, uint32_t generation) {
  return Crc32cLe32(Crc32cLe32(sb.checksumSeed, number), generation);
}

uint64_t ExtTimeToFiletime(uint32_t seconds, uint32_t extra) {
  int64_t full =
      static_cast<int64_t>(static_cast<int32_t>(seconds)) + (static_cast<int64_t>(extra & 3) << 32);
  uint64_t nanoseconds = std::min<uint32_t>(extra >> 2, 999999999u);
  int64_t ticks = full * 10000000 + static_cast<int64_t>(nanoseconds / 100);
  if (ticks < -static_cast<int64_t>(kFiletimeAt1970)) return 0;
  return kFiletimeAt1970 + static_cast<uint64_t>(ticks);
}

ExtFileType ExtInode::Type() const {
  switch (mode & 0xF000) {
    case 0x8000:
      return ExtFileType::kFile;
    case 0x4000:
      return ExtFileType::kDirectory;
    case 0xA000:
      return ExtFileType::kSymlink;
    case 0:
      return ExtFileType::kUnknown;
    default:
      return ExtFileType::kOther;
  }
}

bool ExtInode::HasDataMap() const {
  if (HasInlineData()) return true;
  if (UsesExtents()) return Le16(map) == kExtExtentMagic && Le16(map + 2) > 0;
  for (uint32_t i = 0; i < kExtInodeMapBytes; ++i)
    if (map[i] != 0) return true;
  return false;
}

bool ExtInode::IsFastSymlink() const {
  return Type() == ExtFileType::kSymlink && size < kExtInodeMapBytes && !HasInlineData();
}

bool ParseExtInode(const ExtSuperblock& sb, uint32_t number, const uint8_t* raw, ExtInode& out) {
  ExtInode inode;
  uint32_t extraBytes = sb.inodeSize > kOldInodeBytes ? Le16(raw + 0x80) : 0;
  if (extraBytes > sb.inodeSize - kOldInodeBytes) extraBytes = 0;
  if (sb.MetadataChecksums() && !ChecksumHolds(sb, number, raw, extraBytes)) return false;
  inode.number = number;
  inode.mode = Le16(raw);
  inode.size = Le32(raw + 4) | static_cast<uint64_t>(Le32(raw + 0x6C)) << 32;
  inode.links = Le16(raw + 0x1A);
  inode.flags = Le32(raw + 0x20);
  inode.deleteTime = Le32(raw + 0x14);
  inode.generation = Le32(raw + 0x64);
  std::memcpy(inode.map, raw + 0x28, kExtInodeMapBytes);
  auto extra = [&](uint32_t offset) {
    return extraBytes >= offset + 4 - kOldInodeBytes ? Le32(raw + offset) : 0u;
  };
  inode.accessTime = ExtTimeToFiletime(Le32(raw + 0x08), extra(0x8C));
  inode.writeTime = ExtTimeToFiletime(Le32(raw + 0x10), extra(0x88));
  inode.createTime = extraBytes >= 0x98 - kOldInodeBytes
                         ? ExtTimeToFiletime(Le32(raw + 0x90), extra(0x94))
                         : ExtTimeToFiletime(Le32(raw + 0x0C), extra(0x84));
  if (inode.HasInlineData() && extraBytes > 0) ReadInlineTail(sb, raw, extraBytes, inode);
  out = std::move(inode);
  return true;
}

}  // namespace salvora
