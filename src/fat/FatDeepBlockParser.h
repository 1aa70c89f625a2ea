#pragma once
// Reads one block of directory entries (a sector, or a long-name chain cut
// at a sector end followed by the sector that continues it) into the
// folders and files it names. Every slot passes the entry validity test
// before it is believed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fat/FatDirEntry.h"

namespace salvora {

struct FatDeepEntry {
  enum Kind { kDot, kFolder, kFile };
  Kind kind = kFile;
  uint32_t cluster = 0;       // high word << 16 | low word
  bool highWordLost = false;  // deleted, and the high word reads 0
  uint32_t size = 0;
  EntryTimes times;
  std::string name;  // UTF-8; empty for kDot
};

struct FatDeepBlock {
  std::vector<FatDeepEntry> entries;
  // The block ended inside a long-name chain whose short entry is missing.
  bool endsInChain = false;
  size_t chainOffset = 0;  // where the cut chain starts in the block
  uint8_t chainChecksum = 0;
};

// `length` need not be a multiple of 32; a partial slot at the end is
// ignored.
void ParseDirectoryBlock(const uint8_t* block, size_t length, FatDeepBlock& out);

}  // namespace salvora
