// The runs of a rebuilt carved file: kept in the store's companion file,
// read back from damaged bytes without trust, and used by a recovery after
// the scan's store is reopened.
#include <gtest/gtest.h>

#include <filesystem>
#include <unordered_map>

#include "carving/CarveSweep.h"
#include "carving/FileTypeRecovery.h"
#include "carving/FragmentPieces.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

using Entries = std::unordered_map<uint32_t, PieceList>;

Entries Parse(const std::string& bytes) {
  Entries entries;
  ParsePieceEntries(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), entries);
  return entries;
}

TEST(FragmentPieces, EntriesReadBackUntilTheFirstMalformedOne) {
  PieceList two{{100, 8}, {300, 5}}, three{{7, 1}, {9, 2}, {UINT64_MAX - 4, 4}};
  std::string good = EncodePieceEntry(3, two) + EncodePieceEntry(9, three);
  Entries entries = Parse(good + EncodePieceEntry(3, three));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[3].size(), 3u) << "a later entry replaces an earlier one";
  EXPECT_EQ(entries[9][2].first, UINT64_MAX - 4);

  const std::string malformed[] = {
      EncodePieceEntry(4, {{1, 1}}),                                  // one run needs no entry
      EncodePieceEntry(4, PieceList(kMaxFilePieces + 1, {1, 1})),     // too many runs
      EncodePieceEntry(4, {{1, 1}, {5, 0}}),                          // an empty run
      EncodePieceEntry(4, {{1, 1}, {UINT64_MAX - 1, 3}}),             // runs past the last sector
      EncodePieceEntry(0, two),                                       // no record 0
  };
  for (const std::string& bad : malformed) {
    Entries kept = Parse(good + bad + EncodePieceEntry(5, two));
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept.count(5), 0u);
  }
  EXPECT_EQ(Parse(good + EncodePieceEntry(4, two).substr(0, 30)).size(), 2u) << "cut short";
}

// A PNG from ImageMagick in two runs with noise between them.
class SplitPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveCommand("convert")) GTEST_SKIP() << "needs ImageMagick";
    MustRun("convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform " +
            Quote(dir_ / "p.png"));
    picture_ = ReadFile(dir_ / "p.png");
    ImageBuilder image;
    image.RandomSectors(4, 1);
    start_ = image.Place(picture_.substr(0, 20 * kSector));
    image.RandomSectors(50, 2);
    image.Place(picture_.substr(20 * kSector));
    image.RandomSectors(4, 3);
    WriteFile(dir_ / "disk.img", image.bytes());
  }

  ScopedDataDir data_;
  TempDir dir_, out_;
  std::string picture_;
  uint64_t start_ = 0;
};

TEST_F(SplitPicture, RecoveryAfterReopeningTheStoreCopiesBothRuns) {
  std::string storeName;
  {
    CFileTypeRecovery engine;
    ASSERT_EQ(engine.OpenImage(dir_ / "disk.img", 1), 0);
    uint64_t found = 0;
    ASSERT_EQ(CarveWholeSource(engine, engine.Source(), kSector, found), 0);
    engine.Store().Flush();
    storeName = std::filesystem::path(engine.Store().DataPath()).filename().string();
  }
  CFileTypeRecovery reopened;
  ASSERT_EQ(reopened.ReopenImage(dir_ / "disk.img", 1, storeName, kSector), 0);
  std::vector<FoundRecord> records;
  reopened.ListFolder(nullptr, 0, records);
  const FoundRecord* picture = nullptr;
  for (const FoundRecord& record : records)
    if (record.entrySector == start_) picture = &record;
  ASSERT_NE(picture, nullptr);
  EXPECT_STREQ(picture->name, (std::to_string(start_) + ".png").c_str());
  EXPECT_EQ(uint64_t{picture->fileSize}, picture_.size());
  ASSERT_EQ(reopened.RecoverItem(picture, out_ / "p.png", 0), 0);
  EXPECT_EQ(ReadFile(out_ / "p.png"), picture_);

  // The same bytes through the preview's copy into memory.
  std::string memory(picture_.size(), '\0');
  uint32_t size = static_cast<uint32_t>(memory.size());
  std::string path;
  FoundRecord unrouted = *picture;
  std::snprintf(unrouted.name, sizeof unrouted.name, "x");
  ASSERT_EQ(reopened.ExtractForPreview(&unrouted, path, reinterpret_cast<uint8_t*>(memory.data()),
                                       size, nullptr, nullptr),
            0);
  EXPECT_EQ(memory, picture_);
}

TEST_F(SplitPicture, APictureWhoseRestIsGoneIsNamedDamaged) {
  ImageBuilder image;
  image.RandomSectors(4, 1);
  uint64_t start = image.Place(picture_.substr(0, 20 * kSector));
  image.RandomSectors(50, 2);
  WriteFile(dir_ / "cut.img", image.bytes());
  CFileTypeRecovery engine;
  std::vector<FoundRecord> records = CarveImageFile(engine, dir_ / "cut.img");
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(uint64_t{records.front().entrySector}, start);
  EXPECT_STREQ(records.front().name, (std::to_string(start) + "_damaged.png").c_str());
}

// An archive whose members carry their sizes only in data descriptors
// after their data, split inside its first member with noise between: the
// break cannot be placed without a size, and the archive is not passed off
// as whole.
TEST(SplitArchive, AStreamedMemberBrokenInsideIsNamedDamaged) {
  if (!HaveCommand("zip")) GTEST_SKIP() << "needs zip";
  ScopedDataDir data;
  TempDir dir;
  MustRun("cd " + Quote(dir.path()) + " && seq 1 30000 > numbers.txt" +
          " && head -c 50000 /usr/share/common-licenses/GPL-3 > text.txt" +
          " && zip -X -q -fd streamed.zip numbers.txt text.txt");
  std::string archive = ReadFile(dir / "streamed.zip");
  ASSERT_EQ(archive[6] & 0x08, 0x08) << "zip wrote no data descriptors";
  ImageBuilder image;
  image.RandomSectors(4, 1);
  uint64_t start = image.Place(archive.substr(0, 24 * kSector));
  image.RandomSectors(31, 2);
  image.Place(archive.substr(24 * kSector));
  image.RandomSectors(4, 3);
  WriteFile(dir / "disk.img", image.bytes());

  CFileTypeRecovery engine;
  std::vector<FoundRecord> records = CarveImageFile(engine, dir / "disk.img");
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(uint64_t{records.front().entrySector}, start);
  EXPECT_STREQ(records.front().name, (std::to_string(start) + "_damaged.zip").c_str());
}

int CancelAfter(void* calls, int32_t, int32_t, int32_t, uint64_t, uint64_t, uint64_t, int32_t) {
  return --*static_cast<int*>(calls) > 0 ? 0 : -9527;
}

// The search reads the disk well past the picture's first run, and the
// user's cancel reaches it there.
TEST_F(SplitPicture, ACancelDuringTheSearchStoresNothing) {
  ImageBuilder image;
  image.RandomSectors(4, 1);
  image.Place(picture_.substr(0, 20 * kSector));
  // Another file's start ends the size rule's scan at once.
  image.Place(JpegOf(kSector));
  image.RandomSectors(4000, 2);
  WriteFile(dir_ / "long.img", image.bytes());
  CFileTypeRecovery engine;
  ASSERT_EQ(engine.OpenImage(dir_ / "long.img", 1), 0);
  // Measuring reads a chunk or two; the search reads on through 2 MB.
  int calls = 10;
  engine.SetCallbacks(CancelAfter, nullptr, &calls, 90);
  uint64_t found = 0;
  EXPECT_EQ(CarveWholeSource(engine, engine.Source(), kSector, found), -9527);
  EXPECT_EQ(found, 0u);
  EXPECT_EQ(engine.GetRecordCount(), 0u);
}

}  // namespace
}  // namespace salvora::test
