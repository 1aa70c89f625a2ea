#pragma once
// One ext2/3/4 volume as the engines read it: its superblock (a backup when
// the first is damaged), its group descriptors, its journal's history, and
// every version of a block or inode that the volume and the journal still
// hold, newest first.
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ext/ExtBlockMap.h"
#include "ext/ExtByteSource.h"
#include "ext/ExtGroupTable.h"
#include "ext/ExtInode.h"
#include "ext/ExtJournal.h"
#include "ext/ExtSuperblock.h"
#include "platform/ReadBuffer.h"

namespace salvora {

// What the volume and its journal hold of one block: every readable
// version, newest first, and which of them the volume holds now.
struct ExtBlockHistory {
  // blockSize bytes each: in the volume's kept blocks, the journal's held
  // log or `bytes`
  std::vector<const uint8_t*> versions;
  int current = -1;  // none: the volume's copy is unreadable and no newer one exists
  // Room for copies read from the journal, kept between fills so that a
  // history used again allocates nothing; never zeroed, since every byte a
  // version holds is written first.
  std::unique_ptr<uint8_t[]> bytes;
  size_t room = 0;
};

class ExtVolume {
 public:
  // Reads the volume's structures from `bytes`, which the volume keeps.
  // 0, or 87 when no superblock or no group descriptor can be used.
  int Open(std::unique_ptr<ExtByteSource> bytes);
  bool IsOpen() const { return bytes_ != nullptr; }

  const ExtSuperblock& Superblock() const { return sb_; }
  ExtByteSource& Bytes() { return *bytes_; }
  // The group descriptors the volume was opened with.
  const std::vector<ExtGroup>& Groups() const { return groups_; }
  const ExtJournal* Journal() const { return hasJournal_ ? &journal_ : nullptr; }

  // The block as the volume holds it now (the journal's copy when the
  // journal was not yet written back). False when it cannot be read.
  bool ReadCurrentBlock(uint64_t block, std::vector<uint8_t>& out);
  // Every readable version of a block, newest first.
  void BlockVersions(uint64_t block, std::vector<std::vector<uint8_t>>& out);
  // The same without a copy, and with the version the volume holds now.
  // The answer holds until the next block is asked for.
  const ExtBlockHistory& History(uint64_t block);
  // Lets go of the inode table blocks kept and of the journal's log held
  // in memory, once a walk is done with them: the engine outlives the
  // scan while its files are shown and recovered.
  void ForgetBlocks();
  // The inode as it is now; false when its table cannot be read or the
  // copy fails its checksum.
  bool CurrentInode(uint32_t number, ExtInode& out);
  // Every valid version of an inode, newest first, each differing from
  // the one before.
  void InodeVersions(uint32_t number, std::vector<ExtInode>& out);
  // The block as the disk holds it, without the journal's copies: one
  // version, or none when it cannot be read.
  void DiskBlock(uint64_t block, std::vector<std::vector<uint8_t>>& out);
  // The data runs of an inode version.
  bool MapOf(const ExtInode& inode, std::vector<ExtRun>& runs);

  // Whether a block is allocated now, by the block bitmaps; blocks of a
  // group whose bitmap cannot be read, and blocks past the source's end,
  // count as allocated.
  bool BlockInUse(uint64_t block);
  // The next free run at or after `block`: false past the volume's end.
  bool NextFreeBlocks(uint64_t& block, uint64_t& count);

 private:
  bool FindSuperblock();
  bool InodePlace(uint32_t number, uint64_t& block, uint32_t& offset) const;
  void LoadJournal();
  bool JournalInodeFromBackup(ExtInode& inode) const;
  void LoadBitmaps();
  void NoteInodeTables();
  // The end of the inode table that holds `block`, or 0 when none does.
  uint64_t InodeTableEnd(uint64_t block) const;
  // Reads a run of inode table blocks from `block` on, up to `tableEnd`
  // or the first block already kept, and keeps their histories.
  void KeepTableBlocks(uint64_t block, uint64_t tableEnd);
  // The first of `count` free slots side by side, taken from the blocks
  // they held.
  size_t ReserveSlots(size_t count);
  ExtBlockHistory& AssignSlot(size_t slot, uint64_t block);
  void FillHistory(uint64_t block, const uint8_t* disk, bool diskRead, ExtBlockHistory& out);

  std::unique_ptr<ExtByteSource> bytes_;
  ExtSuperblock sb_;
  std::vector<ExtGroup> groups_;
  ExtJournal journal_;
  bool hasJournal_ = false;
  std::vector<std::pair<uint64_t, uint64_t>> inodeTables_;  // [first, end) blocks, sorted
  // Inode table blocks are asked for again and again (every inode of a
  // folder's files, before and after deletion), so their histories are
  // kept in a ring of slots whose buffers are reused; any other block is
  // read each time into the scratch history.
  std::vector<ExtBlockHistory> slots_;
  std::vector<uint64_t> slotBlocks_;
  ReadBuffer slotBytes_;  // each slot's block as the volume holds it
  std::unordered_map<uint64_t, size_t> slotOf_;
  size_t nextSlot_ = 0;
  ExtBlockHistory scratch_;
  std::vector<uint8_t> readBuffer_;
  std::vector<uint8_t> used_;  // one bit per block the source holds, set when allocated
  uint64_t blocksHeld_ = 0;    // blocks of the volume inside the source
  bool bitmapsLoaded_ = false;
};

}  // namespace salvora
