#pragma once
// The inodes an earlier life of the volume left in its inode tables. A
// reformat with the same geometry puts the new tables where the old ones
// were and writes only their first blocks, so the old inodes stay, each
// with a checksum seeded by the old volume's identity. Read where the
// present layout places them, their checksums give that seed back: a seed
// that two or more inodes agree on is the old volume's, and every inode
// whose checksum holds under it is a genuine old inode of that number.
// Without checksums an inode the present bitmap calls free, yet in use, is
// taken as old.
// A volume whose primary superblock is lost (read from a backup) gives its
// own inodes too, since the quick scan cannot list its live files, and a
// table block lost on the disk is taken from the journal's copies.
#include <cstdint>
#include <map>
#include <vector>

#include "ext/ExtInode.h"
#include "ext/ExtVolume.h"

namespace salvora {

struct ExtOldInodePlace {
  uint32_t number = 0;
  uint64_t block = 0;   // inode table block
  uint32_t offset = 0;  // in the block
  uint32_t seed = 0;    // the volume seed its checksum holds under
  bool own = false;     // the present volume's: its blocks are allocated to it
};

class ExtOldInodes {
 public:
  // Reads every inode table of `volume`; `ownInodes` also keeps the inodes
  // whose checksums hold under the volume's present seed.
  void Sweep(ExtVolume& volume, bool ownInodes);
  const std::vector<ExtOldInodePlace>& Places() const { return accepted_; }
  // The superblock the volume had when the inode was written: the present
  // one with that inode's seed.
  ExtSuperblock SuperblockOf(const ExtSuperblock& present, const ExtOldInodePlace& place) const;
  // Parses a kept inode again from the volume.
  bool Read(ExtVolume& volume, const ExtOldInodePlace& place, ExtInode& out) const;
  void Clear();

 private:
  void SweepGroup(ExtVolume& volume, uint32_t group, const ExtGroup& descriptor, bool ownInodes);
  void ReadInodeBitmap(ExtVolume& volume, const ExtGroup& group);
  bool Allocated(uint32_t index) const;
  void TakeJournalCopies(ExtVolume& volume, uint64_t tableBlock, std::vector<uint8_t>& table);
  void Consider(const ExtSuperblock& sb, const ExtOldInodePlace& place, const uint8_t* raw,
                bool ownInodes);

  std::vector<ExtOldInodePlace> candidates_;
  std::map<uint32_t, uint32_t> votes_;  // seed -> inodes that gave it
  std::vector<ExtOldInodePlace> accepted_;
  std::vector<uint8_t> bitmap_;  // the swept group's inode bitmap, when one is used
};

// An inode worth rebuilding: a file, folder or symlink in use when written.
bool ExtInodeLooksInUse(const uint8_t* raw);
// Whether a table block holds at least one such inode.
bool HoldsInodeInUse(const ExtSuperblock& sb, const uint8_t* block);

}  // namespace salvora
