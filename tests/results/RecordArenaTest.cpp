#include "results/RecordArena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "results/NaturalOrder.h"

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
