#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ext/ExtChecksum.h"
#include "ext/ExtJournal.h"
#include "support/BadRangeBytes.h"

namespace salvora {
namespace {

constexpr uint32_t kBlock = 1024;
constexpr uint32_t kMagic = 0xC03B3998;
constexpr uint32_t kIncompat64Bit = 0x2, kIncompatV3 = 0x10;

void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A log of 1 KiB blocks built block by block, in the layout jbd2 writes.
class LogBuilder {
 public:
  LogBuilder(uint32_t blocks, uint32_t incompat) : log_(blocks * kBlock, 0), incompat_(incompat) {
    uint8_t* sb = Block(0);
    PutBe32(sb, kMagic);
    PutBe32(sb + 4, 4);
    PutBe32(sb + 0xC, kBlock);
    PutBe32(sb + 0x10, blocks);
    PutBe32(sb + 0x14, 1);
    PutBe32(sb + 0x28, incompat);
    for (int i = 0; i < 16; ++i) sb[0x30 + i] = static_cast<uint8_t>(i * 7);
  }
  uint8_t* Block(uint32_t index) { return log_.data() + index * kBlock; }
  // A transaction at `at`: a descriptor, one logged copy per target (its
  // bytes all `fill`), a commit. Returns the block after it (wrapping).
  uint32_t Transaction(uint32_t at, uint32_t sequence, std::vector<uint64_t> targets, uint8_t fill,
                       bool commit = true) {
    uint32_t position = at;
    Header(position, 1, sequence);
    bool v3 = incompat_ & kIncompatV3, wide = incompat_ & kIncompat64Bit;
    uint32_t tagBytes = v3 ? 16 : (wide ? 12 : 8);
    uint8_t* descriptor = Block(position);
    for (size_t i = 0; i < targets.size(); ++i) {
      uint32_t data = Next(position + static_cast<uint32_t>(i));
      std::memset(Block(data), fill, kBlock);
      uint8_t* tag = descriptor + 12 + i * tagBytes;
      uint32_t flags = 2 | (i + 1 == targets.size() ? 8 : 0);  // same uuid, last tag
      PutBe32(tag, static_cast<uint32_t>(targets[i]));
      if (v3) {
        PutBe32(tag + 4, flags);
        PutBe32(tag + 8, static_cast<uint32_t>(targets[i] >> 32));
        uint8_t seq[4];
        PutBe32(seq, sequence);
        uint32_t crc =
            Crc32c(Crc32c(Crc32c(~0u, Block(0) + 0x30, 16), seq, 4), Block(data), kBlock);
        PutBe32(tag + 12, crc);
      } else {
        tag[6] = static_cast<uint8_t>(flags >> 8);
        tag[7] = static_cast<uint8_t>(flags);
        if (wide) PutBe32(tag + 8, static_cast<uint32_t>(targets[i] >> 32));
      }
    }
    for (size_t i = 0; i <= targets.size(); ++i) position = Next(position);
    if (commit) Header(position, 2, sequence);
    return Next(position);
  }
  void Header(uint32_t at, uint32_t type, uint32_t sequence) {
    PutBe32(Block(at), kMagic);
    PutBe32(Block(at) + 4, type);
    PutBe32(Block(at) + 8, sequence);
  }
  uint32_t Next(uint32_t at) const { return at + 1 < log_.size() / kBlock ? at + 1 : 1; }
  // Loads the log; reads that touch the blocks from `badFrom` to `badEnd`
  // fail.
  bool Load(ExtJournal& journal, uint32_t badFrom = 0, uint32_t badEnd = 0) {
    bytes_ = std::make_unique<test::BytesWithBadRange>(log_.data(), log_.size(), badFrom * kBlock,
                                                       badEnd * kBlock);
    ExtSuperblock sb;
    sb.blockSize = kBlock;
    sb.blocksCount = 1u << 20;
    return journal.Load(*bytes_, sb, {{0, 0, log_.size() / kBlock, false}});
  }
  // The fill byte of each copy of `block`, newest first.
  std::vector<int> Fills(const ExtJournal& journal, uint64_t block) {
    std::vector<int> fills;
    std::vector<uint8_t> data(kBlock);
    if (const auto* copies = journal.CopiesOf(block))
      for (const auto& copy : *copies)
        fills.push_back(journal.ReadCopy(*bytes_, copy, data.data()) ? data[5] : -1);
    return fills;
  }

  std::vector<uint8_t> log_;
  uint32_t incompat_;
  std::unique_ptr<ExtByteSource> bytes_;
};

TEST(ExtJournal, CopiesNewestFirstInEveryTagLayout) {
  for (uint32_t incompat : {0u, kIncompat64Bit, kIncompat64Bit | kIncompatV3}) {
    SCOPED_TRACE(incompat);
    LogBuilder log(64, incompat);
    uint32_t at =
        log.Transaction(1, 10, {500, 0x100000007ull & (incompat ? ~0ull : 0xFFFFFFFF)}, 0xA1);
    at = log.Transaction(at, 11, {500}, 0xA2);
    log.Transaction(at, 12, {500}, 0xA3, false);  // never committed
    ExtJournal journal;
    ASSERT_TRUE(log.Load(journal));
    EXPECT_EQ(log.Fills(journal, 500), (std::vector<int>{0xA2, 0xA1}));
    EXPECT_EQ(journal.TransactionCount(), 2u);
    journal.ReleaseHeldLog();  // copies are read from the log again
    EXPECT_EQ(log.Fills(journal, 500), (std::vector<int>{0xA2, 0xA1}));
  }
}

// A transaction may run across the log's end; once the next pass has
// written over its blocks at the log's start it is dropped, though its
// descriptor at the end survives.
TEST(ExtJournal, WrappedLogKeepsWhatTheNewPassLeft) {
  LogBuilder log(16, kIncompat64Bit | kIncompatV3);
  log.Transaction(8, 6, {702}, 0xB2);        // blocks 8-10
  log.Transaction(14, 7, {703, 704}, 0xB3);  // 14, 15, then 1 and the commit at 2
  ExtJournal journal;
  ASSERT_TRUE(log.Load(journal));
  EXPECT_EQ(log.Fills(journal, 704), (std::vector<int>{0xB3}));

  log.Transaction(1, 8, {705}, 0xB4);  // the next pass: 1-3
  ExtJournal later;
  ASSERT_TRUE(log.Load(later));
  EXPECT_TRUE(log.Fills(later, 703).empty());
  EXPECT_TRUE(log.Fills(later, 704).empty());
  EXPECT_EQ(log.Fills(later, 702), (std::vector<int>{0xB2}));
  EXPECT_EQ(log.Fills(later, 705), (std::vector<int>{0xB4}));
}

TEST(ExtJournal, TornCopyFailsItsChecksumAndEscapedMagicIsRestored) {
  LogBuilder log(16, kIncompat64Bit | kIncompatV3);
  log.Transaction(1, 3, {900, 901}, 0xC1);
  log.Block(2)[100] ^= 1;  // the copy of 900, torn after it was logged
  // The copy of 901 began with the journal's magic, logged escaped.
  log.Block(1)[12 + 16 + 7] |= 1;
  ExtJournal journal;
  ASSERT_TRUE(log.Load(journal));
  EXPECT_EQ(log.Fills(journal, 900), (std::vector<int>{-1}));
  std::vector<uint8_t> data(kBlock);
  const auto* copies = journal.CopiesOf(901);
  ASSERT_NE(copies, nullptr);
  // The escape flag is not covered by the data checksum.
  for (bool held : {true, false}) {
    SCOPED_TRACE(held);
    if (!held) journal.ReleaseHeldLog();
    ASSERT_TRUE(journal.ReadCopy(*log.bytes_, copies->front(), data.data()));
    EXPECT_EQ(data[0], 0xC0);
    EXPECT_EQ(data[3], 0x98);
    EXPECT_EQ(log.Fills(journal, 900), (std::vector<int>{-1}));
  }
}

// The log is read in long runs; one that meets a bad sector leaves its
// copies to be read one by one, so only the copy on the bad sector is lost.
TEST(ExtJournal, AnUnreadableLogBlockCostsOnlyItsCopy) {
  LogBuilder log(64, kIncompat64Bit | kIncompatV3);
  log.Transaction(1, 3, {900, 901, 902}, 0xC1);  // the copy of 901 in block 3
  ExtJournal journal;
  ASSERT_TRUE(log.Load(journal, 3, 4));
  EXPECT_EQ(log.Fills(journal, 900), (std::vector<int>{0xC1}));
  EXPECT_EQ(log.Fills(journal, 901), (std::vector<int>{-1}));
  EXPECT_EQ(log.Fills(journal, 902), (std::vector<int>{0xC1}));
}

TEST(ExtJournal, RefusesWhatIsNoLog) {
  LogBuilder log(16, 0);
  log.Block(0)[0] = 0;
  ExtJournal journal;
  EXPECT_FALSE(log.Load(journal));
}

}  // namespace
}  // namespace salvora
