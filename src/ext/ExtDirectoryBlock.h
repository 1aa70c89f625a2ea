#pragma once
// The entries of one directory block (or of a directory's inline area):
// those in use, and the remains of deleted ones that still lie in the slack
// behind an entry's name, where deleting an entry leaves it.
#include <cstdint>
#include <string>
#include <vector>

#include "ext/ExtSuperblock.h"

namespace salvora {

struct ExtDirEntry {
  uint32_t inode = 0;
  uint8_t fileType = 0;  // 0 unknown, 1 file, 2 directory, 7 symlink ...
  bool live = false;
  uint32_t offset = 0;   // in the block
  std::string name;      // raw bytes as stored
};

constexpr uint8_t kExtDirTypeFile = 1;
constexpr uint8_t kExtDirTypeDirectory = 2;
constexpr uint8_t kExtDirTypeSymlink = 7;

// An entry's length as stored in its 16 bits: 64 KiB blocks keep the
// length's top bits in the two low bits nothing else uses.
uint32_t ExtDirRecordLength(uint16_t stored, uint32_t blockBytes);

// Appends the block's entries to `out`. Index blocks of hashed directories
// hold no names and give none; the root of the index gives "." and "..".
void ParseExtDirectoryBlock(const ExtSuperblock& sb, const uint8_t* data, uint32_t bytes,
                            std::vector<ExtDirEntry>& out);

}  // namespace salvora
