#include <gtest/gtest.h>

#include <cstring>

#include "ext/ExtChecksum.h"
#include "ext/ExtDirectoryBlock.h"
#include "ext/ExtInode.h"
#include "ext/ExtNameText.h"

namespace salvora {
namespace {

class ExtDirectoryBlockTest : public ::testing::Test {
 protected:
  ExtDirectoryBlockTest() : block_(1024, 0) {
    sb_.blockSize = 1024;
    sb_.inodesCount = 1000;
    sb_.featureIncompat = 0x2;  // file types in entries
  }
  void Entry(uint32_t at, uint32_t inode, uint16_t length, const std::string& name,
             uint8_t type = 1) {
    uint8_t* p = block_.data() + at;
    std::memcpy(p, &inode, 4);
    std::memcpy(p + 4, &length, 2);
    p[6] = static_cast<uint8_t>(name.size());
    p[7] = type;
    std::memcpy(p + 8, name.data(), name.size());
  }
  std::vector<ExtDirEntry> Parse() {
    std::vector<ExtDirEntry> out;
    ParseExtDirectoryBlock(sb_, block_.data(), static_cast<uint32_t>(block_.size()), out);
    return out;
  }

  ExtSuperblock sb_;
  std::vector<uint8_t> block_;
};

// Deleting an entry adds its length to the entry before; its name stays
// in that entry's slack, and so do entries deleted before it.
TEST_F(ExtDirectoryBlockTest, DeletedEntriesInTheSlackOfTheEntryBefore) {
  Entry(0, 2, 12, ".", 2);
  Entry(12, 2, 12, "..", 2);
  Entry(24, 12, 1000, "kept.txt");
  Entry(40, 13, 984, "gone.jpg");   // merged into kept.txt
  Entry(60, 14, 964, "older.doc");  // merged into gone.jpg before
  Entry(80, 0, 20, "");             // noise: no inode, no name
  Entry(100, 5000, 924, "bad");     // inode past the volume's count
  auto entries = Parse();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_TRUE(entries[2].live);
  EXPECT_EQ(entries[2].name, "kept.txt");
  EXPECT_FALSE(entries[3].live);
  EXPECT_EQ(entries[3].name, "gone.jpg");
  EXPECT_EQ(entries[3].inode, 13u);
  EXPECT_EQ(entries[3].offset, 40u);
  EXPECT_EQ(entries[4].name, "older.doc");
}

TEST_F(ExtDirectoryBlockTest, IndexBlocksAndChecksumTailsGiveNoNames) {
  Entry(0, 0, 1024, "", 0);  // an index node: one empty entry over the block
  Entry(16, 77, 20, "lookslikeaname");
  EXPECT_TRUE(Parse().empty());
  std::fill(block_.begin(), block_.end(), 0);
  Entry(0, 11, 1012, "file");
  Entry(1012, 0, 12, "", 0xDE);  // the checksum tail
  auto entries = Parse();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "file");
}

TEST_F(ExtDirectoryBlockTest, ChainsThatLeaveTheBlockEndTheWalk) {
  Entry(0, 11, 2000, "file");  // longer than the block
  Entry(16, 12, 20, "after");
  auto entries = Parse();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "after");
  EXPECT_FALSE(entries[0].live);
}

TEST(ExtNameText, InvalidBytesBecomeReplacementCharacters) {
  const uint8_t mixed[] = {'a', 0xC3, 0xBC, 0xFF, 'b', 0xE2, 0x82};
  EXPECT_EQ(ExtNameToUtf8(mixed, sizeof mixed),
            "a\xC3\xBC\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD");
  const uint8_t surrogate[] = {0xED, 0xA0, 0x80};
  EXPECT_EQ(ExtNameToUtf8(surrogate, 3), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

// The check value of crc32c (with the usual inversions around the raw
// register the volume stores), on lengths that leave every tail size.
TEST(ExtChecksum, Crc32cMatchesItsCheckValue) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(~Crc32c(~0u, digits, sizeof digits), 0xE3069283u);
  std::vector<uint8_t> bytes(37);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  for (size_t split = 0; split <= bytes.size(); ++split)
    EXPECT_EQ(Crc32c(Crc32c(5, bytes.data(), split), bytes.data() + split, bytes.size() - split),
              Crc32c(5, bytes.data(), bytes.size()));
}

// Long runs are taken in lanes whose registers are joined after: every
// length around the lane sizes, and a whole 64 KiB block, against the
// checksum taken one bit at a time.
TEST(ExtChecksum, Crc32cOfLongRunsMatchesTheBitwiseDefinition) {
  auto bitwise = [](uint32_t crc, const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
      crc ^= data[i];
      for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x82F63B78u : crc >> 1;
    }
    return crc;
  };
  std::vector<uint8_t> bytes(65536 + 13);
  uint32_t state = 12345;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  for (size_t length = 700; length <= 1100; ++length)
    ASSERT_EQ(Crc32c(~0u, bytes.data() + 3, length), bitwise(~0u, bytes.data() + 3, length))
        << length;
  for (size_t length : {size_t{4096}, size_t{4096 - 12}, size_t{65536}, bytes.size()})
    EXPECT_EQ(Crc32c(7, bytes.data(), length), bitwise(7, bytes.data(), length)) << length;
}

TEST(ExtTimes, NanosecondsAndEpochBitsReachFiletime) {
  constexpr uint64_t k1970 = 116444736000000000ull;
  EXPECT_EQ(ExtTimeToFiletime(0, 0), k1970);
  EXPECT_EQ(ExtTimeToFiletime(1, 123456789u << 2), k1970 + 10000000 + 1234567);
  // Before 1970 with the epoch bits clear, after 2038 with them set.
  EXPECT_EQ(ExtTimeToFiletime(0xFFFFFFFF, 0), k1970 - 10000000);
  EXPECT_EQ(ExtTimeToFiletime(0x80000000, 1), k1970 + 0x80000000ull * 10000000);
}

}  // namespace
}  // namespace salvora
