#pragma once
// One inode as the volume (or a journal copy of its table block) holds it:
// type, size, times, links, flags and the 60 bytes of its block map, extent
// root or inline data.
#include <cstdint>
#include <vector>

#include "ext/ExtSuperblock.h"

namespace salvora {

constexpr uint32_t kExtInodeMapBytes = 60;
constexpr uint16_t kExtExtentMagic = 0xF30A;
constexpr uint32_t kExtExtentsFlag = 0x80000;

enum class ExtFileType : uint8_t { kUnknown, kFile, kDirectory, kSymlink, kOther };

struct ExtInode {
  uint32_t number = 0;
  uint16_t mode = 0;
  uint16_t links = 0;
  uint32_t flags = 0;
  uint32_t generation = 0;
  uint32_t deleteTime = 0;
  uint64_t size = 0;
  uint64_t createTime = 0, accessTime = 0, writeTime = 0;  // FILETIME
  uint8_t map[kExtInodeMapBytes] = {};
  // Inline data kept past the map, in the inode's extra space; apart from
  // the inode, since few have any and scans hold many inodes.
  std::vector<uint8_t> inlineTail;

  ExtFileType Type() const;
  bool UsesExtents() const { return (flags & kExtExtentsFlag) != 0; }
  bool HasInlineData() const { return (flags & 0x10000000) != 0; }
  bool IsIndexedDirectory() const { return (flags & 0x1000) != 0; }
  // Whether the map, extent root or inline area names any data.
  bool HasDataMap() const;
  // A symlink whose target lies in the map itself.
  bool IsFastSymlink() const;
  // Allocated to a file: a mode, links and no deletion time.
  bool InUse() const { return mode != 0 && links != 0 && deleteTime == 0; }
};

// Parses `sb.inodeSize` bytes of inode `number`. With metadata checksums a
// copy whose checksum fails (torn, stale or not an inode) is refused.
bool ParseExtInode(const ExtSuperblock& sb, uint32_t number, const uint8_t* raw, ExtInode& out);

// Seconds since 1970 (with the two epoch bits of the extra field) and
// nanoseconds, as FILETIME.
uint64_t ExtTimeToFiletime(uint32_t seconds, uint32_t extra);

// The crc32c seed of an inode's own metadata (extent and directory blocks).
uint32_t ExtInodeSeed(const ExtSuperblock& sb, uint32_t number, uint32_t generation);

}  // namespace salvora
