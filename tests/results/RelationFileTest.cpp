#include "results/RelationFile.h"

#include <gtest/gtest.h>

namespace salvora {
namespace {

RelationMap Parse(const std::string& text) {
  RelationMap map;
  ParseRelationText(text.data(), text.size(), map);
  return map;
}

TEST(RelationFile, RoundTripsAndKeepsChildOrder) {
  std::string text = FormatRelationItem(2, {5, 3, 9}) + FormatRelationItem(1ULL << 33 | 7, {1});
  EXPECT_EQ(text, " | 2 - [5,3,9] | 8589934599 - [1]");
  RelationMap map = Parse(text);
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map[2], (std::vector<uint32_t>{5, 3, 9}));
  EXPECT_EQ(map[1ULL << 33 | 7], (std::vector<uint32_t>{1}));
}

TEST(RelationFile, MalformedItemsEndTheParseKeepingEarlierOnes) {
  EXPECT_EQ(Parse(" | 1 - [2] | 3 - [4").size(), 1u);
  EXPECT_EQ(Parse(" | 1 - [2] | 3 [4]").size(), 1u);
  EXPECT_TRUE(Parse(" | x - [1]").empty());
  EXPECT_TRUE(Parse("").empty());
  // A later item with the same key replaces the earlier one.
  EXPECT_EQ(Parse(" | 1 - [2] | 1 - [3]")[1], (std::vector<uint32_t>{3}));
}

}  // namespace
}  // namespace salvora
