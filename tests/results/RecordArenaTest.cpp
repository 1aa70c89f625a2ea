#include "results/RecordArena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "results/NaturalOrder.h"
#include "results/ScanResultStore.h"

namespace salvora {
namespace {

TEST(RecordArena, GivesBackEveryRecordWhole) {
  RecordArena arena;
  std::vector<FoundRecord> added;
  for (uint32_t i = 0; i < 300; ++i) {
    FoundRecord record{};
    record.sourceTag = static_cast<uint16_t>(i % 3);
    record.engineKind = i % 2 ? kCarved : kQuickFat;
    record.recordNo = i + 1;
    record.fileSize = 1000ULL * i + 7;
    record.writeTime = 133000000000000000ULL + i;
    record.createTime = 132000000000000000ULL + i;
    record.isFolder = i == 5;
    record.contentOk = i % 4 != 0;
    record.volumeFirstSector = 2048;
    std::string name = i == 7 ? std::string(259, 'x') : "file " + std::to_string(i) + ".jpg";
    SetRecordName(record.name, name.c_str());
    EXPECT_EQ(arena.Add(record), i);
    added.push_back(record);
  }
  // An unterminated name from a damaged store is kept to its field's end.
  FoundRecord damaged{};
  std::memset(damaged.name, 'z', kRecordNameBytes);
  arena.Add(damaged);
  ASSERT_EQ(arena.Size(), 301u);
  for (uint32_t i = 0; i < 300; ++i) {
    FoundRecord back = arena.Full(i);
    EXPECT_EQ(std::memcmp(&back, &added[i], sizeof back), 0) << i;
    EXPECT_EQ(arena.Name(i), std::string_view(added[i].name));
    // Packed fields are copied out before comparing.
    EXPECT_EQ(arena.FileSize(i), uint64_t{added[i].fileSize});
    EXPECT_EQ(arena.WriteTime(i), uint64_t{added[i].writeTime});
    EXPECT_EQ(arena.CreateTime(i), uint64_t{added[i].createTime});
    EXPECT_EQ(arena.IsFolder(i), added[i].isFolder != 0);
    EXPECT_EQ(arena.ContentOk(i), added[i].contentOk != 0);
    EXPECT_EQ(arena.Key(i), RecordKey(added[i]));
  }
  EXPECT_EQ(arena.Name(300).size(), kRecordNameBytes);
  EXPECT_EQ(arena.Full(300).name[kRecordNameBytes - 1], 'z');
}

// A folder listing is sorted inside the arena: the order is the one sorting
// the whole records gives (ties between names equal but for case included),
// across the borders of the blocks records and names are kept in, and the
// records before the sorted part stay where they are.
TEST(RecordArena, SortsAsWholeRecordsSortAcrossBlockBorders) {
  std::vector<FoundRecord> records;
  for (uint32_t i = 0; i < 9000; ++i) {
    FoundRecord record{};
    record.recordNo = i + 1;
    record.isFolder = i % 11 == 0;
    record.fileSize = i;
    // Long names that agree far beyond the sort key's first letters.
    std::string name = std::string(200, "aAbB"[i % 4]) + std::to_string((i * 7919) % 5000);
    SetRecordName(record.name, name.c_str());
    records.push_back(record);
  }
  RecordArena arena;
  FoundRecord first{};
  SetRecordName(first.name, "zz listed before");
  arena.Add(first);
  for (const FoundRecord& record : records) arena.Add(record);
  arena.SortListing(1);
  SortRecords(records);
  ASSERT_EQ(arena.Size(), records.size() + 1);
  EXPECT_EQ(arena.Name(0), "zz listed before");
  for (uint32_t i = 0; i < records.size(); ++i) {
    FoundRecord back = arena.Full(i + 1);
    ASSERT_EQ(std::memcmp(&back, &records[i], sizeof back), 0) << i;
  }
}

TEST(NaturalOrder, NumbersByValueLettersInEitherCase) {
  std::vector<std::string> names = {"IMG_10.jpg", "img_2.jpg", "IMG_1.jpg", "IMG_002.jpg",
                                    "b",          "A",         "a10b2",     "a10b10",
                                    "99999999999999999999999", "100000000000000000000000", "x"};
  std::stable_sort(names.begin(), names.end(),
                   [](const auto& a, const auto& b) { return NaturalCompare(a, b) < 0; });
  std::vector<std::string> expected = {"99999999999999999999999", "100000000000000000000000",
                                       "A",         "a10b2",     "a10b10",     "b",
                                       "IMG_1.jpg", "img_2.jpg", "IMG_002.jpg", "IMG_10.jpg", "x"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(NaturalCompare("abc", "ABC"), 0);
  EXPECT_LT(NaturalCompare("abc", "abcd"), 0);
  EXPECT_GT(NaturalCompare("file9", "file"), 0);
}

}  // namespace
}  // namespace salvora
