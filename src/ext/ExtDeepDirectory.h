#pragma once
// A directory block met in free space, told from other data by its shape
// alone: entries that chain exactly to the block's end (or to its checksum
// tail), each in-use entry with an inode number inside the volume, a file
// type and a name without '/' or NUL. A block that starts a folder names
// the folder itself ("." ) and its parent ("..").
#include <cstdint>
#include <optional>
#include <vector>

#include "ext/ExtDirectoryBlock.h"

namespace salvora {

struct ExtFoundDirectory {
  uint32_t self = 0;                  // the inode of "." when the block starts its folder
  uint32_t parent = 0;                // the inode of ".."
  std::vector<ExtDirEntry> entries;   // in use, without "." and ".."
  std::optional<uint32_t> ownerSeed;  // the tail checksum's start register
};

// Reads a whole block of `blockSize` bytes (1 KiB to 64 KiB); false when it
// is not a directory block with at least one named entry or a "." entry.
bool RecogniseExtDirectoryBlock(const uint8_t* block, uint32_t blockSize, uint32_t inodesCount,
                                ExtFoundDirectory& out);

}  // namespace salvora
