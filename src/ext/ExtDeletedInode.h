#pragma once
// Which version of an inode still describes a deleted file. Deleting a
// file on ext3/ext4 empties its inode (no map, size 0, a deletion time),
// but the journal keeps earlier copies of the inode's table block: the
// newest of those that still maps data is the file as it was last written.
// ext2 leaves the map in place, so the volume's own copy serves. An inode
// number that a live file holds now was either renamed away from (the same
// file: not deleted) or given to a new file (then only copies of an earlier
// generation are the deleted file's).
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ext/ExtBlockMap.h"
#include "ext/ExtInode.h"
#include "ext/ExtVolume.h"

namespace salvora {

enum class ExtResolution { kLive, kRecovered, kLost };

struct ExtResolved {
  ExtResolution state = ExtResolution::kLost;
  ExtInode inode;
  std::vector<ExtRun> runs;
  // The number held more than one deleted file: nothing tells which of
  // them a name found for it was, so the newest is copied but not passed
  // as whole.
  bool ambiguous = false;
  // The volume's own file, found without its directory: the bitmaps show
  // its blocks allocated because they are its own.
  bool ownedNow = false;
};

class ExtDeletedInodes {
 public:
  explicit ExtDeletedInodes(ExtVolume& volume) : volume_(volume) {}
  // The version of `number` that a deleted directory (or, with false, a
  // deleted file or symlink) of that number last had. Remembered.
  const ExtResolved& Resolve(uint32_t number, bool directory);

 private:
  ExtResolved Find(uint32_t number, bool directory);
  bool TypeFits(const ExtInode& inode, bool directory) const;

  ExtVolume& volume_;
  std::unordered_map<uint64_t, ExtResolved> known_;
  std::vector<ExtInode> versions_;  // reused: a scan resolves thousands
};

}  // namespace salvora
