#include "deep/ReadAheadRing.h"

#include <algorithm>
#include <cstring>

#include "deep/SectorFacts.h"

namespace salvora {
namespace {

// The memo of a sector that did not arrive: no facts, and none to work out.
constexpr uint8_t kUnread = 0x80;

int ShiftOf(uint32_t size) {
  for (int shift = 0; shift < 32; ++shift)
    if ((uint32_t{1} << shift) == size) return shift;
  return -1;
}

}  // namespace

ReadAheadRing::ReadAheadRing(SectorSource& source, uint64_t volumeFirst, uint32_t sectorSize,
                             uint32_t chunkSectors, RingShape shape)
    : source_(source),
      volumeFirst_(volumeFirst),
      sectorSize_(sectorSize),
      sectorShift_(ShiftOf(sectorSize)),
      chunkSectors_(chunkSectors),
      blockSectors_(std::max<uint32_t>(1, shape.blockBytes / (chunkSectors * sectorSize)) *
                    chunkSectors),
      blockBytes_(size_t{blockSectors_} * sectorSize),
      blocks_(std::max<uint32_t>(shape.blocks, 2)),
      memory_(AllocateReadBuffer(blockBytes_ * blocks_.size())) {
  for (size_t i = 0; i < blocks_.size(); ++i) {
    blocks_[i].data = memory_.get() + i * blockBytes_;
    blocks_[i].facts.resize(blockSectors_);
    blocks_[i].chunksRead.reserve(blockSectors_ / chunkSectors_);
  }
  pieces_.reserve(blocks_.size());
}

ReadAheadRing::~ReadAheadRing() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
}

void ReadAheadRing::Start(WalkRanges& ranges, const WalkRange& first, uint64_t offset) {
  nextRead_ = volumeFirst_ + first.start + offset;
  reader_ = std::thread(&ReadAheadRing::ReadAll, this, &ranges, first, offset);
}

bool ReadAheadRing::ClaimBlock(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return stop_ || blocks_[fill_].state == State::kFree; });
  return !stop_;
}

// The reader thread: block after block in walk order, each read while no
// lock is held; the scan only ever touches blocks handed to it as ready.
void ReadAheadRing::ReadAll(WalkRanges* ranges, WalkRange range, uint64_t offset) {
  if (source_.File()) source_.File()->AdviseSequential();
  try {
    ReadBlocks(*ranges, range, offset);
  } catch (...) {
    // Nothing in the loop allocates; should anything still fail, the walk
    // ends where the reader stopped rather than the process.
  }
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  changed_.notify_all();
}

void ReadAheadRing::ReadBlocks(WalkRanges& ranges, WalkRange range, uint64_t offset) {
  bool more = true;
  while (more && offset >= range.length) {
    more = ranges.Next(range.End(), range);
    offset = 0;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  while (more) {
    nextRead_ = volumeFirst_ + range.start + offset;
    if (!ClaimBlock(lock)) break;
    Block& block = blocks_[fill_];
    block.state = State::kReading;
    block.range = range;
    block.offset = offset;
    block.first = nextRead_;
    block.sectors = static_cast<uint32_t>(std::min<uint64_t>(blockSectors_, range.length - offset));
    lock.unlock();
    source_.ReadPieces(block.sectors, chunkSectors_, block.data, block.first,
                       static_cast<int32_t>(sectorSize_), block.chunksRead);
    ForgetFacts(block);
    offset += block.sectors;
    while (more && offset >= range.length) {
      more = ranges.Next(range.End(), range);
      offset = 0;
    }
    lock.lock();
    block.state = State::kReady;
    fill_ = (fill_ + 1) % blocks_.size();
    changed_.notify_all();
  }
}

// Sectors that did not arrive have no facts, and never get any.
void ReadAheadRing::ForgetFacts(Block& block) {
  std::fill(block.facts.begin(), block.facts.end(), 0);
  for (size_t chunk = 0; chunk < block.chunksRead.size(); ++chunk) {
    size_t from = chunk * chunkSectors_ + block.chunksRead[chunk];
    size_t to = std::min<size_t>((chunk + 1) * chunkSectors_, block.sectors);
    for (size_t i = from; i < to; ++i) block.facts[i] = kUnread;
  }
}

void ReadAheadRing::GiveBack(Block& block) {
  block.taken = false;
  recent_ = {};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    block.state = State::kFree;
    take_ = (take_ + 1) % blocks_.size();
  }
  changed_.notify_all();
}

bool ReadAheadRing::NextChunk(WalkChunk& chunk) {
  if (taking_ && nextChunk_ * chunkSectors_ >= blocks_[take_].sectors) {
    GiveBack(blocks_[take_]);
    taking_ = false;
  }
  if (!taking_) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] {
      State state = blocks_[take_].state;
      return stop_ || state == State::kReady || finished_;
    });
    if (blocks_[take_].state != State::kReady) return false;
    blocks_[take_].taken = taking_ = true;
    nextChunk_ = 0;
  }
  Block& block = blocks_[take_];
  uint32_t from = nextChunk_ * chunkSectors_;
  chunk.range = block.range;
  chunk.offset = block.offset + from;
  chunk.first = block.first + from;
  chunk.sectors = std::min(chunkSectors_, block.sectors - from);
  chunk.read = block.chunksRead[nextChunk_];
  chunk.data = block.data + static_cast<size_t>(from) * sectorSize_;
  chunk.facts = block.facts.data() + from;
  ++nextChunk_;
  return true;
}

bool ReadAheadRing::Valid(const Block& block, uint32_t from, uint32_t count) const {
  for (uint32_t at = from; at < from + count;) {
    uint32_t chunk = at / chunkSectors_;
    uint32_t chunkEnd = std::min(from + count, (chunk + 1) * chunkSectors_);
    if (chunkEnd - chunk * chunkSectors_ > block.chunksRead[chunk]) return false;
    at = chunkEnd;
  }
  return true;
}

uint64_t ReadAheadRing::Locate(uint64_t first, uint32_t count) {
  pieces_.clear();
  const uint64_t end = first + count;
  uint64_t missing = first;
  for (size_t i = 0; i < blocks_.size() && missing < end; ++i) {
    Block& block = blocks_[(take_ + i) % blocks_.size()];
    if (block.state != State::kReady) break;
    if (missing < block.first || missing >= block.first + block.sectors) continue;
    uint32_t from = static_cast<uint32_t>(missing - block.first);
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(end - missing, block.sectors - from));
    if (!Valid(block, from, n)) break;
    block.taken = true;
    pieces_.push_back({&block, from, n});
    missing += n;
  }
  return missing;
}

// The reader's next block is free or being read, unless every block is full
// and held: then nothing arrives until the scan gives one back.
bool ReadAheadRing::MayArrive(uint64_t sector) const {
  return !finished_ && !stop_ && sector >= nextRead_ && blocks_[fill_].state != State::kReady;
}

const uint8_t* ReadAheadRing::Find(uint64_t first, uint32_t count, uint8_t* scratch) {
  if (count == 0 || first > UINT64_MAX - count) return nullptr;
  std::unique_lock<std::mutex> lock(mutex_);
  uint64_t missing = Locate(first, count);
  // Sectors on their way are waited for; the others are not coming.
  while (missing != first + count && MayArrive(missing)) {
    changed_.wait(lock);
    missing = Locate(first, count);
  }
  if (missing != first + count) return nullptr;
  // Full blocks that follow each other in the ring's memory make one run.
  bool together = true;
  for (size_t i = 1; i < pieces_.size(); ++i)
    together = together && pieces_[i - 1].block->sectors == blockSectors_ &&
               pieces_[i].block->data == pieces_[i - 1].block->data + blockBytes_;
  const Piece& head = pieces_.front();
  if (together) return head.block->data + size_t{head.from} * sectorSize_;
  uint8_t* out = scratch;
  for (const Piece& piece : pieces_) {
    size_t bytes = size_t{piece.count} * sectorSize_;
    std::memcpy(out, piece.block->data + size_t{piece.from} * sectorSize_, bytes);
    out += bytes;
  }
  return scratch;
}

int ReadAheadRing::HeldMetadata(const uint8_t* sector, uint32_t sectorBytes) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(sector);
  // The end search asks sector after sector of one block: the last block
  // asked about answers without a search.
  if (address - recent_.from >= recent_.bytes && !Recall(address)) return -1;
  const uintptr_t within = address - recent_.from;
  if (sectorBytes != sectorSize_ || (within & (sectorSize_ - 1)) != 0) return -1;
  uint8_t& memo = recent_.facts[within >> sectorShift_];
  if (memo == kUnread) return -1;
  return (KnownFacts(memo, sector, sectorSize_) & kMetadataFact) ? 1 : 0;
}

bool ReadAheadRing::Recall(uintptr_t address) {
  recent_ = {};
  const uintptr_t base = reinterpret_cast<uintptr_t>(memory_.get());
  if (sectorShift_ < 0 || address < base || address - base >= blockBytes_ * blocks_.size())
    return false;
  Block& block = blocks_[(address - base) / blockBytes_];
  if (!block.taken) return false;
  recent_ = {reinterpret_cast<uintptr_t>(block.data), size_t{block.sectors} * sectorSize_,
             block.facts.data()};
  return true;
}

}  // namespace salvora
