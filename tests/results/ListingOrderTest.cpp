#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results/ListingOrder.h"

namespace salvora {
namespace {

// Names that agree in their first sixteen letters, equal names in either
// case, and names of exactly sixteen letters: every order the sort keys
// cannot settle alone comes out as the documented order says.
TEST(ListingOrder, FilesFirstThenNamesWhateverTheKeysHold) {
  std::vector<std::string> names;
  std::vector<bool> folders;
  const char* bases[] = {"document 01.bin",
                         "DOCUMENT 01.BIN",
                         "sixteen letters!",
                         "sixteen letters!x",
                         "sixteen letters",
                         "a",
                         "A"};
  for (int round = 0; round < 40; ++round)
    for (const char* base : bases) {
      names.emplace_back(base);
      folders.push_back(round % 7 == 3);
    }
  std::vector<uint32_t> order = ListingOrder(
      names.size(), [&](uint32_t i) { return std::string_view(names[i]); },
      [&](uint32_t i) { return static_cast<bool>(folders[i]); });
  ASSERT_EQ(order.size(), names.size());
  std::vector<bool> seen(names.size());
  for (size_t i = 0; i < order.size(); ++i) {
    ASSERT_FALSE(seen[order[i]]) << "listed twice: " << order[i];
    seen[order[i]] = true;
    if (i == 0) continue;
    uint32_t before = order[i - 1], after = order[i];
    if (folders[before] != folders[after]) {
      EXPECT_TRUE(folders[after]) << "a folder before a file at " << i;
      continue;
    }
    EXPECT_FALSE(NameBefore(names[after], names[before]))
        << names[after] << " listed after " << names[before];
  }
}

}  // namespace
}  // namespace salvora
