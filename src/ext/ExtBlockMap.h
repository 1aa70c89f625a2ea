#pragma once
// Where a file's data lies: its extent tree or its ext2/ext3 block map,
// turned into runs of logical blocks. The nodes of the tree (index and
// leaf blocks, indirect blocks) may exist in several versions, the one on
// disk and older copies kept by the journal; of those, the one that still
// maps the most is taken, since deleting a file only ever empties them.
#include <cstdint>
#include <functional>
#include <vector>

#include "ext/ExtInode.h"
#include "ext/ExtSuperblock.h"

namespace salvora {

struct ExtRun {
  uint64_t logical = 0;
  uint64_t physical = 0;
  uint64_t length = 0;
  bool unwritten = false;  // allocated but never written: reads as zeros
};

// Hands out every known version of a metadata block, each blockSize bytes.
using ExtBlockVersions =
    std::function<void(uint64_t block, std::vector<std::vector<uint8_t>>& versions)>;

// The runs of the inode's data up to its size, sorted by logical block;
// holes are left out. False when the map is unusable (a node missing or
// invalid in every version, a block outside the volume).
bool BuildExtBlockMap(const ExtSuperblock& sb, const ExtInode& inode,
                      const ExtBlockVersions& versions, std::vector<ExtRun>& runs);

// Whether a block holds a valid extent node of `depth` for that inode.
bool ExtExtentNodeValid(const ExtSuperblock& sb, const ExtInode& inode, const uint8_t* node,
                        uint32_t bytes, int depth, bool checkTail);

}  // namespace salvora
