#pragma once
// The history a jbd2 journal still holds: for every metadata block it
// logged, the copies left in the log, by transaction. Only transactions
// whose commit block is still in the log count, and a copy is dropped when
// a later pass of the log has written over it or its checksum fails. The
// log is read once, front to back, whatever its head and tail say: what
// lies past its tail is older history, and that is what recovery needs.
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ext/ExtBlockMap.h"
#include "ext/ExtByteSource.h"
#include "ext/ExtSuperblock.h"
#include "platform/ReadBuffer.h"

namespace salvora {

struct ExtJournalCopy {
  uint32_t logBlock = 0;  // index in the log
  uint32_t sequence = 0;  // transaction
  bool escaped = false;   // the first four bytes were the journal's magic
  bool hasChecksum = false;
  uint32_t checksum = 0;  // of the block as logged, seeded with its transaction
  bool held = false;      // kept in memory from the scan of the log, and checked
};

class ExtJournal {
 public:
  // Reads the log whose blocks `logRuns` maps; false when it is no jbd2 log.
  bool Load(ExtByteSource& bytes, const ExtSuperblock& sb, const std::vector<ExtRun>& logRuns);

  // Copies of a volume block, newest first (empty when none).
  const std::vector<ExtJournalCopy>* CopiesOf(uint64_t block) const;
  // Reads a copy into `out` (blockSize bytes).
  bool ReadCopy(ExtByteSource& bytes, const ExtJournalCopy& copy, uint8_t* out) const;
  // The copy's bytes: where the log is held in memory, there; otherwise
  // read into `scratch` (blockSize bytes). Null when it cannot be read or
  // fails its checksum.
  const uint8_t* CopyData(ExtByteSource& bytes, const ExtJournalCopy& copy, uint8_t* scratch) const;
  // Whether a copy is newer than the volume's own block: the log was not
  // yet written back (a volume in use, or one not cleanly unmounted).
  bool NewerThanVolume(const ExtJournalCopy& copy) const {
    return dirty_ && SequenceAtLeast(copy.sequence, firstLive_);
  }
  // Lets go of the log held in memory, once a walk is done with it: copies
  // are read again, one by one, when asked for.
  void ReleaseHeldLog();
  size_t TransactionCount() const { return transactions_; }
  size_t CopyCount() const { return copyCount_; }

  static bool SequenceAtLeast(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) >= 0; }

 private:
  struct Header {
    uint8_t type = 0;   // 0: data or nothing
    bool held = false;  // read into the held log
    uint32_t sequence = 0;
  };
  struct Tag {
    uint64_t block;
    bool escaped;
    uint32_t checksum;
    bool hasChecksum;
  };

  bool ReadSuperblock(ExtByteSource& bytes, const ExtSuperblock& sb);
  bool PhysicalOf(uint32_t logBlock, uint64_t& physical) const;
  void ScanLog(ExtByteSource& bytes);
  void ReadBlockByBlock(ExtByteSource& bytes, uint32_t position, uint32_t count, uint64_t physical,
                        uint8_t* into);
  // Notes the headers of `count` blocks read from `position` on.
  void NoteHeaders(uint32_t position, uint32_t count, const uint8_t* blocks);
  // Checks a copy as logged and restores an escaped magic, in place.
  bool Verify(const ExtJournalCopy& copy, uint8_t* data) const;
  uint8_t* HeldBlock(uint32_t position) const {
    return held_.get() + static_cast<size_t>(position) * blockSize_;
  }
  void ParseDescriptor(uint32_t position, const uint8_t* block);
  void WalkTransactions();
  bool WalkFrom(uint32_t position, std::vector<std::pair<uint32_t, Tag>>& found) const;
  uint32_t Next(uint32_t position) const { return position + 1 < last_ ? position + 1 : first_; }

  std::vector<ExtRun> logRuns_;
  uint32_t blockSize_ = 0;
  uint32_t first_ = 0, last_ = 0;  // the log's block range
  uint32_t incompat_ = 0;
  uint32_t checksumSeed_ = 0;
  bool dirty_ = false;
  uint32_t firstLive_ = 0;  // first transaction not yet written back
  // The whole log, when it is small enough to keep: the walk asks for most
  // of its blocks, often more than once, and reading each again costs far
  // more than keeping it.
  ReadBuffer held_;
  std::vector<Header> headers_;
  std::unordered_map<uint32_t, std::vector<Tag>> descriptors_;
  std::unordered_map<uint64_t, std::vector<ExtJournalCopy>> copies_;
  size_t transactions_ = 0;
  size_t copyCount_ = 0;
};

}  // namespace salvora
