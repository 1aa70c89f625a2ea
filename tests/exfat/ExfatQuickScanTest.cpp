#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "exfat/ExfatCard.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "storage/EngineSelection.h"
#include "support/EngineListing.h"

namespace salvora {
namespace {

using test::ExfatCard;

// The quick engine on camera cards made by the real tools, at the cluster
// sizes cards come with.
class ExfatQuickScan : public ::testing::TestWithParam<uint32_t> {
 protected:
  void SetUp() override {
    card_ = &ExfatCard::Get(GetParam());
    if (!card_->skipReason.empty()) GTEST_SKIP() << card_->skipReason;
    SelectionResult selected = CreateImageEngine(card_->image, 'E', false);
    ASSERT_EQ(selected.volumeClass, VolumeClass::kExfat);
    ASSERT_TRUE(selected.engine);
    engine_ = std::move(selected.engine);
    ASSERT_EQ(engine_->Scan(nullptr), 0);
  }
  std::string Recover(const FoundRecord& record, int& result) {
    std::string target = out_ / ("r" + std::to_string(record.recordNo));
    result = engine_->RecoverItem(&record, target, 0);
    return target;
  }

  const ExfatCard* card_ = nullptr;
  test::ScopedDataDir data_;
  test::TempDir out_;
  std::unique_ptr<IFileRecoveryParse> engine_;
};

// Photos whose first cluster holds other data now fail the content check
// and stay out of the listings, as on every file system.
TEST_P(ExfatQuickScan, ListsEveryDeletedFileUnderItsPathAndNoLiveOne) {
  auto listed = test::ListedByPath(*engine_);
  for (const auto& [path, intact] : card_->deleted)
    if (intact) {
      EXPECT_TRUE(listed.count(path)) << path;
    }
  for (const std::string& path : card_->live) EXPECT_FALSE(listed.count(path)) << path;
  for (const auto& [path, record] : listed) EXPECT_TRUE(card_->deleted.count(path)) << path;

  auto tree = test::TreeByPath(*engine_);
  ASSERT_TRUE(tree.count("DCIM/101TRIP/Notes of the trip/")) << "a deleted folder's subfolder";
  EXPECT_EQ(uint32_t{tree.at("DCIM/101TRIP/").isDeleted}, 1u);
  EXPECT_EQ(uint32_t{tree.at("DCIM/").isDeleted}, 0u);
  for (const auto& [path, intact] : card_->deleted)
    if (intact) {
      EXPECT_TRUE(tree.count(path)) << path;
    }
  for (const auto& [path, record] : tree) EXPECT_EQ(uint32_t{record.engineKind}, kQuickExfat);
}

TEST_P(ExfatQuickScan, RecoversWhatSurvivesByteExactAndReportsWhatWasOverwritten) {
  auto listed = test::ListedByPath(*engine_);
  size_t overwritten = 0;
  for (const auto& [path, intact] : card_->deleted) {
    ASSERT_TRUE(listed.count(path) || !intact) << path;
    if (!listed.count(path)) continue;
    int result = 0;
    std::string copy = Recover(listed.at(path), result);
    if (intact) {
      EXPECT_EQ(result, 0) << path;
      EXPECT_EQ(test::ReadFile(copy), card_->Original(path)) << path;
    } else {
      ++overwritten;
      EXPECT_EQ(result, kFileCorrupt) << path << ": other data holds part of it now";
      EXPECT_NE(test::ReadFile(copy), card_->Original(path)) << path;
    }
  }
  EXPECT_GT(overwritten, 0u) << "the card holds no overwritten file to report";
}

TEST_P(ExfatQuickScan, RecoversADeletedFolderWithItsWholeSubtree) {
  auto tree = test::TreeByPath(*engine_);
  ASSERT_TRUE(tree.count("DCIM/101TRIP/"));
  std::string target = out_ / "trip";
  ASSERT_EQ(engine_->RecoverItem(&tree.at("DCIM/101TRIP/"), target, 0), 0);
  for (const auto& [path, intact] : card_->deleted) {
    if (path.rfind("DCIM/101TRIP/", 0) != 0) continue;
    std::string copy = target + "/" + path.substr(13);
    EXPECT_EQ(test::ReadFile(copy), card_->Original(path)) << copy;
  }
}

// exfat-fuse writes local times with their UTC offset (the card is written
// 5:30 off UTC); the records hold UTC as NTFS records do, so a file created
// moments ago carries a time of moments ago, and the odd second of the
// time the fixture set comes from the 10 ms part.
TEST_P(ExfatQuickScan, KeepsTimesOfTheEntrySet) {
  const std::string path = "DCIM/100CAMERA/IMG_0004.JPG";
  auto listed = test::ListedByPath(*engine_);
  const FoundRecord& photo = listed.at(path);
  int64_t now = std::time(nullptr);
  EXPECT_LE(std::llabs(UnixFromFileTime(photo.createTime) - now), 3600)
      << FormatFileTime(photo.createTime);
  ASSERT_TRUE(card_->written.count(path));
  EXPECT_EQ(uint64_t{photo.writeTime}, FileTimeFromUnix(card_->written.at(path)))
      << FormatFileTime(photo.writeTime);
  EXPECT_NE(uint64_t{photo.accessTime}, 0u);
}

TEST_P(ExfatQuickScan, PreviewsAPhotoThroughItsTemporaryFile) {
  auto listed = test::ListedByPath(*engine_);
  const std::string path = "DCIM/Ünïcödé Ordner/Fotografía con un nombre muy largo ✓.jpg";
  std::string preview;
  uint32_t size = 0;
  ASSERT_EQ(engine_->ExtractForPreview(&listed.at(path), preview, nullptr, size, nullptr, nullptr),
            0);
  EXPECT_EQ(std::filesystem::path(preview).filename(), "tmp.jpg");
  EXPECT_EQ(test::ReadFile(preview), card_->Original(path));
}

INSTANTIATE_TEST_SUITE_P(ClusterSizes, ExfatQuickScan, ::testing::Values(4096, 32768, 131072));

}  // namespace
}  // namespace salvora
