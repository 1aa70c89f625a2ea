#pragma once
// The files a reformatted or damaged ext volume still holds, rebuilt with
// their names: old inodes from the inode tables (see ExtOldInodes) give
// each file's data and each folder's blocks; directory blocks, those of the
// old folders and those met in free space, give names and parents. A block
// starting a folder names the folder by its "." entry; any other block is
// tied to its folder by the start register of its tail checksum, which is
// the folder's inode seed, the same for all blocks of one folder. Folders
// whose own entry was not found are kept as lost folders under their ".."
// parent or at the top; files without any name go into one lost folder.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "ext/ExtDeepDirectory.h"
#include "ext/ExtDeletedInode.h"
#include "ext/ExtOldInodes.h"
#include "ext/ExtTreeWalk.h"

namespace salvora {

// The folder key that holds the files no directory block names.
constexpr uint32_t kExtLostFilesKey = 1;

class ExtDeepTree {
 public:
  // Keeps a directory block met in free space at volume block `block`.
  void AddDirectoryBlock(uint64_t block, ExtFoundDirectory found);
  size_t DirectoryBlocks() const { return met_.size(); }
  void Clear();

  // Sweeps the inode tables, ties names to inodes and writes every rebuilt
  // file and the folders above them into `store`.
  void Write(ExtVolume& volume, bool ownInodes, const ExtVolumePlace& place,
             ScanResultStore& store);

  // A written file's inode and data runs, read again from the volume.
  bool Resolve(ExtVolume& volume, uint32_t number, ExtResolved& out) const;
  // The volume block where a written file's data starts.
  bool FirstDataBlock(uint32_t number, uint64_t& block) const;

 private:
  struct Met {
    uint64_t block = 0;
    ExtFoundDirectory found;
  };
  struct Name {
    std::string text;
    uint32_t parent = 0;  // 0: the folder holding the entry is not known
    uint64_t entryByte = 0;
  };
  struct Folder {
    uint32_t dotDot = 0;  // the parent its first block names
    uint64_t byte = 0;    // where the folder was met
    bool written = false;
    uint32_t depth = 0;  // 0 while not worked out
  };

  void ReadOldFolders(ExtVolume& volume);
  void TieBlocks(uint32_t blockSize);
  void TakeBlock(const ExtFoundDirectory& found, uint32_t owner, uint64_t blockByte);
  uint32_t ParentOf(uint32_t folder) const;
  uint32_t DepthOf(uint32_t folder);
  void WriteFile(ExtVolume& volume, const ExtOldInodePlace& place, const ExtVolumePlace& where,
                 ScanResultStore& store);
  void WriteFolders(const ExtVolumePlace& where, const ExtSuperblock& sb, ScanResultStore& store);
  bool MapOf(ExtVolume& volume, const ExtOldInodePlace& place, ExtResolved& out) const;

  std::vector<Met> met_;
  ExtOldInodes inodes_;
  std::unordered_map<uint32_t, size_t> placeOf_;        // inode -> index in inodes_
  std::unordered_map<uint32_t, uint32_t> ownerBySeed_;  // folder inode seed -> folder
  std::unordered_map<uint32_t, Name> names_;
  std::unordered_map<uint32_t, Folder> folders_;
  std::unordered_map<uint32_t, uint64_t> firstBlock_;
  std::vector<uint32_t> aboveFiles_;
  bool lostFilesUsed_ = false;
};

}  // namespace salvora
