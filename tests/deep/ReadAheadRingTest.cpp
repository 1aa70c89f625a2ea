// The deep scan's read-ahead ring on a small shape, so that every case of it
// (blocks ending in the middle of a range, the ring running full, lookups
// across blocks and across its wrap) happens on a few hundred sectors.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "deep/FileSystemMetadata.h"
#include "deep/ReadAheadRing.h"
#include "deep/SectorFacts.h"
#include "platform/MemoryFile.h"
#include "ext/FastExtRecovery.h"

namespace salvora {
namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kChunk = 8;                        // sectors
constexpr RingShape kShape{4 * kChunk * kSector, 3};  // 3 blocks of 4 chunks

// Every sector carries its number, so that bytes show where they came from.
std::string NumberedSectors(uint64_t count) {
  std::string bytes(count * kSector, '\0');
  for (uint64_t s = 0; s < count; ++s) std::memcpy(&bytes[s * kSector], &s, sizeof(s));
  return bytes;
}

uint64_t NumberAt(const uint8_t* sector) {
  uint64_t number;
  std::memcpy(&number, sector, sizeof(number));
  return number;
}

// Free ranges as a quick engine's usage map would give them.
class FreeRuns final : public CFastExtRecovery {
 public:
  explicit FreeRuns(std::map<uint64_t, uint64_t> runs) : runs_(std::move(runs)) {}
  int NextFreeRange(uint64_t& sector, uint64_t& count) override {
    auto it = runs_.lower_bound(sector);
    count = 0;
    if (it != runs_.end()) sector = it->first, count = it->second;
    return 1;
  }

 private:
  std::map<uint64_t, uint64_t> runs_;
};

class ReadAheadRingTest : public ::testing::Test {
 protected:
  void Open(uint64_t sectors, uint64_t volumeFirst = 0) {
    auto memory = std::make_unique<MemoryFile>(NumberedSectors(sectors));
    file_ = memory.get();
    source_.Attach(std::move(memory), sectors);
    volumeFirst_ = volumeFirst;
  }
  std::unique_ptr<ReadAheadRing> Ring(WalkRanges& ranges, WalkRange first, uint64_t offset = 0) {
    auto ring = std::make_unique<ReadAheadRing>(source_, volumeFirst_, kSector, kChunk, kShape);
    ring->Start(ranges, first, offset);
    return ring;
  }

  SectorSource source_;
  MemoryFile* file_ = nullptr;
  uint64_t volumeFirst_ = 0;
};

// The chunks the walk used to read one by one: each range from its offset
// in steps of a chunk, the last one shorter.
std::vector<WalkChunk> ChunksOfTheWalk(WalkRanges& ranges, WalkRange range, uint64_t offset,
                                       uint64_t volumeFirst) {
  std::vector<WalkChunk> chunks;
  for (bool more = true; more; more = ranges.Next(range.End(), range), offset = 0)
    for (; offset < range.length; offset += kChunk) {
      uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kChunk, range.length - offset));
      chunks.push_back({range, offset, volumeFirst + range.start + offset, n, n, nullptr, nullptr});
    }
  return chunks;
}

TEST_F(ReadAheadRingTest, ChunksFollowTheWalkAcrossRangesAndFromAResumedOffset) {
  Open(1200, 100);
  FreeRuns runs({{10, 300}, {500, 37}, {700, 5}, {800, 1}});
  WalkRanges ranges(&runs, 1000);
  for (uint64_t offset : {0u, 13u, 299u, 300u}) {
    WalkRange first{10, 300};
    std::vector<WalkChunk> expected = ChunksOfTheWalk(ranges, first, offset, volumeFirst_);
    auto ring = Ring(ranges, first, offset);
    WalkChunk chunk;
    size_t at = 0;
    while (ring->NextChunk(chunk)) {
      ASSERT_LT(at, expected.size());
      const WalkChunk& want = expected[at++];
      EXPECT_EQ(chunk.range.start, want.range.start);
      EXPECT_EQ(chunk.offset, want.offset);
      EXPECT_EQ(chunk.first, want.first);
      EXPECT_EQ(chunk.sectors, want.sectors);
      EXPECT_EQ(chunk.read, want.read);
      for (uint32_t i = 0; i < chunk.read; ++i)
        EXPECT_EQ(NumberAt(chunk.data + i * kSector), chunk.first + i);
    }
    EXPECT_EQ(at, expected.size()) << "offset " << offset;
  }
}

TEST_F(ReadAheadRingTest, HeldSectorsAreFoundWhereverTheyLieAndOthersAreNot) {
  Open(400);
  WalkRanges ranges(nullptr, 400);
  auto ring = Ring(ranges, {0, 400});
  std::vector<uint8_t> scratch(64 * kSector);
  WalkChunk chunk;
  ASSERT_TRUE(ring->NextChunk(chunk));  // block 0 (sectors 0-31) taken
  auto found = [&](uint64_t first, uint32_t count) {
    const uint8_t* bytes = ring->Find(first, count, scratch.data());
    for (uint32_t i = 0; bytes && i < count; ++i)
      EXPECT_EQ(NumberAt(bytes + i * kSector), first + i);
    return bytes;
  };
  // Within a block and across the next, where the ring's memory runs on.
  EXPECT_EQ(found(3, 2), chunk.data + 3 * kSector);
  EXPECT_EQ(found(30, 10), chunk.data + 30 * kSector) << "no copy";
  // The ring holds three blocks; the fourth cannot arrive while they are.
  EXPECT_NE(found(90, 6), nullptr);
  EXPECT_EQ(found(95, 2), nullptr);
  // Once the first block is given back, the fourth comes into its place:
  // a run across the ring's end is copied together.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(ring->NextChunk(chunk));
  EXPECT_EQ(chunk.first, 32u);
  EXPECT_EQ(found(92, 8), scratch.data());
  EXPECT_EQ(found(10, 1), nullptr) << "given back";
  EXPECT_EQ(found(120, 10), nullptr) << "beyond what the ring can hold";
}

TEST_F(ReadAheadRingTest, SectorsTheDiskWillNotGiveAreNeverHeld) {
  Open(200);
  file_->FailSector(37);
  WalkRanges ranges(nullptr, 200);
  auto ring = Ring(ranges, {0, 200});
  std::vector<uint8_t> scratch(16 * kSector);
  WalkChunk chunk;
  std::vector<uint32_t> read;
  while (ring->NextChunk(chunk)) {
    read.push_back(chunk.read);
    if (chunk.first == 32) {
      EXPECT_NE(ring->Find(33, 4, scratch.data()), nullptr);
      EXPECT_EQ(ring->Find(33, 5, scratch.data()), nullptr);
      EXPECT_EQ(ring->Find(38, 1, scratch.data()), nullptr) << "the rest of that chunk";
      EXPECT_NE(ring->Find(40, 1, scratch.data()), nullptr) << "the next chunk is asked afresh";
    }
  }
  std::vector<uint32_t> expected(25, kChunk);
  expected[4] = 5;  // sectors 32-36 arrived
  EXPECT_EQ(read, expected);
}

// The end search of a carved file and the walk share one memo per sector.
TEST_F(ReadAheadRingTest, MetadataOfHeldSectorsIsWorkedOutOnceAndShared) {
  std::string bytes = NumberedSectors(64);
  std::memcpy(&bytes[20 * kSector], "FILE", 4);
  auto memory = std::make_unique<MemoryFile>(bytes);
  source_.Attach(std::move(memory), 64);
  WalkRanges ranges(nullptr, 64);
  auto ring = Ring(ranges, {0, 64});
  std::vector<uint8_t> scratch(kSector);
  WalkChunk chunk;
  ASSERT_TRUE(ring->NextChunk(chunk));
  const uint8_t* held = ring->Find(20, 1, scratch.data());
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(ring->HeldMetadata(held, kSector), 1);
  EXPECT_EQ(ring->HeldMetadata(held + kSector, kSector), 0);
  EXPECT_EQ(ring->HeldMetadata(held + 1, kSector), -1) << "not a sector's start";
  EXPECT_EQ(ring->HeldMetadata(held, 4096), -1) << "another sector size";
  EXPECT_EQ(ring->HeldMetadata(scratch.data(), kSector), -1) << "not held";
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(ring->NextChunk(chunk));
  EXPECT_EQ(chunk.first, 16u);
  EXPECT_EQ(chunk.facts[4], SectorFactsOf(held, kSector)) << "the walk finds the memo filled";
  EXPECT_EQ(chunk.facts[6], 0) << "not worked out yet";
}

TEST_F(ReadAheadRingTest, AWalkStoppedEarlyLetsTheReaderGo) {
  Open(4000);
  WalkRanges ranges(nullptr, 4000);
  auto ring = Ring(ranges, {0, 4000});
  WalkChunk chunk;
  ASSERT_TRUE(ring->NextChunk(chunk));
  ring.reset();  // the reader waits for a free block; this must not hang
  SUCCEED();
}

}  // namespace
}  // namespace salvora
