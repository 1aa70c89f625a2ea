#include <gtest/gtest.h>

#include "storage/UnreadAreas.h"

namespace salvora {
namespace {

TEST(UnreadAreas, StretchesStaySortedAndJoinedAndTheOverflowIsCounted) {
  std::vector<ByteRange> ranges;
  EXPECT_TRUE(JoinRange(ranges, {1000, 100}, 3));
  EXPECT_TRUE(JoinRange(ranges, {0, 10}, 3));
  EXPECT_TRUE(JoinRange(ranges, {1100, 50}, 3)) << "touching the end joins";
  EXPECT_TRUE(JoinRange(ranges, {5000, 10}, 3));
  EXPECT_EQ(ranges, (std::vector<ByteRange>{{0, 10}, {1000, 150}, {5000, 10}}));
  EXPECT_FALSE(JoinRange(ranges, {3000, 1}, 3)) << "a fourth stretch does not fit";
  EXPECT_TRUE(JoinRange(ranges, {5, 4995}, 3)) << "but one that joins others always does";
  EXPECT_EQ(ranges, (std::vector<ByteRange>{{0, 5010}}));

  UnreadAreas areas;
  for (uint64_t i = 0; i <= UnreadAreas::kMaxKept; ++i) areas.Note(i * 1024, 512);
  std::vector<ByteRange> out;
  uint64_t leftOut = 0;
  areas.AddTo(out, leftOut);
  EXPECT_EQ(out.size(), UnreadAreas::kMaxKept);
  EXPECT_EQ(leftOut, 1u);
}

}  // namespace
}  // namespace salvora
