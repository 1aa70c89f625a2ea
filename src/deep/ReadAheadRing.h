#pragma once
// The reading of the deep scan's walk. A reader thread reads the walk's
// ranges front to back, in large reads, into a small ring of blocks ahead of
// the scan; the scan takes the chunks of one block while the next ones are
// read, so it does not wait for the disk while the disk keeps up. Carving
// finds the sectors ahead of the scan here too (HeldSectors), so that a
// sector the ring holds is never read a second time, and each held sector
// keeps the memo of its file-system tests, which the walk and the end search
// of carved files share. Memory stays the ring's, whatever the disk's size.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "carving/CarveContext.h"
#include "deep/CompositeRanges.h"
#include "platform/ReadBuffer.h"
#include "storage/SectorSource.h"

namespace salvora {

// One chunk of the walk as the scan classifies it.
struct WalkChunk {
  WalkRange range;   // the range it lies in
  uint64_t offset;   // of its first sector within the range
  uint64_t first;    // its first sector, absolute
  uint32_t sectors;  // the sectors the walk asked for
  uint32_t read;     // those that arrived (a failing disk gives fewer)
  const uint8_t* data;
  uint8_t* facts;  // the memo of each sector's file-system tests
};

// Eight blocks of 1 MiB: the ring stays within the processor's last-level
// cache, so the system's copy into a block and the scan's look at it do not
// both go to memory.
struct RingShape {
  uint32_t blockBytes = 1u << 20;
  uint32_t blocks = 8;
};

class ReadAheadRing final : public HeldSectors {
 public:
  // Reads `source`, whose sector `volumeFirst` starts the volume, in
  // sectors of `sectorSize`, handing out chunks of `chunkSectors`.
  ReadAheadRing(SectorSource& source, uint64_t volumeFirst, uint32_t sectorSize,
                uint32_t chunkSectors, RingShape shape = {});
  // Stops the reader and waits for it.
  ~ReadAheadRing() override;
  ReadAheadRing(const ReadAheadRing&) = delete;
  ReadAheadRing& operator=(const ReadAheadRing&) = delete;

  // Starts the reader at `offset` in `first`, going on with each later
  // range that `ranges` gives; `ranges` must outlive the ring.
  void Start(WalkRanges& ranges, const WalkRange& first, uint64_t offset);
  // The walk's next chunk, in order, waiting for it to arrive; false when
  // the walk is over. Its bytes stay in place until the next call.
  bool NextChunk(WalkChunk& chunk);

  const uint8_t* Find(uint64_t first, uint32_t count, uint8_t* scratch) override;
  int HeldMetadata(const uint8_t* sector, uint32_t sectorBytes) override;

 private:
  enum class State { kFree, kReading, kReady };
  struct Block {
    State state = State::kFree;
    bool taken = false;  // seen ready by the scan and not yet given back (scan's own flag)
    WalkRange range;
    uint64_t offset = 0;
    uint64_t first = 0;  // absolute
    uint32_t sectors = 0;
    uint8_t* data = nullptr;
    std::vector<uint32_t> chunksRead;
    std::vector<uint8_t> facts;
  };
  // One piece of a request that a block holds.
  struct Piece {
    const Block* block;
    uint32_t from, count;
  };

  // The reader thread.
  void ReadAll(WalkRanges* ranges, WalkRange range, uint64_t offset);
  void ReadBlocks(WalkRanges& ranges, WalkRange range, uint64_t offset);
  // Waits for a free block; false when told to stop.
  bool ClaimBlock(std::unique_lock<std::mutex>& lock);
  // Fills pieces_ with what held blocks give of [first, first + count), in
  // order; returns the first sector none gives (first + count when all do).
  uint64_t Locate(uint64_t first, uint32_t count);
  // Whether the reader may still bring sector `sector`.
  bool MayArrive(uint64_t sector) const;
  bool Valid(const Block& block, uint32_t from, uint32_t count) const;
  void ForgetFacts(Block& block);
  void GiveBack(Block& block);
  // Makes the taken block that holds `address` the recent one.
  bool Recall(uintptr_t address);

  SectorSource& source_;
  const uint64_t volumeFirst_;
  const uint32_t sectorSize_;
  const int sectorShift_;  // log2 of the sector size; -1 when it is no power of two (no memo)
  const uint32_t chunkSectors_;
  const uint32_t blockSectors_;
  const size_t blockBytes_;
  std::vector<Block> blocks_;
  ReadBuffer memory_;
  std::vector<Piece> pieces_;  // Locate's answer, kept to save allocations

  std::mutex mutex_;
  std::condition_variable changed_;
  size_t fill_ = 0;        // the block the reader fills next
  size_t take_ = 0;        // the block the scan takes chunks from
  uint64_t nextRead_ = 0;  // absolute sector where the reader's next block starts
  bool finished_ = false;
  bool stop_ = false;
  std::thread reader_;

  // The scan's own: where it takes chunks, and the block HeldMetadata
  // answered from last.
  uint32_t nextChunk_ = 0;
  bool taking_ = false;
  struct Recent {
    uintptr_t from = 0;
    size_t bytes = 0;
    uint8_t* facts = nullptr;
  } recent_;
};

}  // namespace salvora
