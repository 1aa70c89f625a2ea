#include "ext/ExtDeepDirectory.h"

#include <cstring>

#include "ext/ExtSeedSolver.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint32_t kEntryHead = 8;
constexpr uint32_t kTailBytes = 12;
constexpr uint8_t kTailType = 0xDE;
constexpr uint8_t kMaxFileType = 7;

bool IsDots(const uint8_t* name, uint32_t length, uint32_t dots) {
  return length == dots && name[0] == '.' && (dots == 1 || name[1] == '.');
}

bool NameAllowed(const uint8_t* name, uint32_t length) {
  return !std::memchr(name, '/', length) && !std::memchr(name, 0, length) &&
         !IsDots(name, length, 1) && !IsDots(name, length, 2);
}

}  // namespace

bool RecogniseExtDirectoryBlock(const uint8_t* block, uint32_t blockSize, uint32_t inodesCount,
                                ExtFoundDirectory& out) {
  out = {};
  if (blockSize < 1024 || blockSize > 65536) return false;
  uint32_t index = 0;
  for (uint32_t at = 0; at < blockSize; ++index) {
    if (blockSize - at < kEntryHead) return false;
    const uint8_t* entry = block + at;
    uint32_t inode = Le32(entry), length = ExtDirRecordLength(Le16(entry + 4), blockSize);
    uint32_t nameLength = entry[6];
    if (length < kEntryHead || length % 4 != 0 || length > blockSize - at) return false;
    if (inode == 0 && length == kTailBytes && nameLength == 0 && entry[7] == kTailType &&
        at + kTailBytes == blockSize && index > 0)
      break;
    at += length;
    if (inode == 0) {
      // Only the first entry of a block is left unused when it is deleted.
      if (index != 0) return false;
      continue;
    }
    const uint8_t* name = entry + kEntryHead;
    if (inode > inodesCount || nameLength == 0 || kEntryHead + nameLength > length ||
        entry[7] == 0 || entry[7] > kMaxFileType)
      return false;
    if (index == 0 && IsDots(name, nameLength, 1)) {
      out.self = inode;
    } else if (index == 1 && out.self != 0 && IsDots(name, nameLength, 2)) {
      out.parent = inode;
    } else {
      if (!NameAllowed(name, nameLength)) return false;
      ExtDirEntry found;
      found.inode = inode;
      found.fileType = entry[7];
      found.live = true;
      found.offset = at - length;
      found.name.assign(reinterpret_cast<const char*>(name), nameLength);
      out.entries.push_back(std::move(found));
    }
  }
  if (out.entries.empty() && out.self == 0) return false;
  // An index root's tail is shaped like a leaf's, over other bytes.
  if (out.self != 0) out.ownerSeed = ExtIndexRootOwnerSeed(block, blockSize);
  if (!out.ownerSeed) out.ownerSeed = ExtDirectoryBlockOwnerSeed(block, blockSize);
  return true;
}

}  // namespace salvora
