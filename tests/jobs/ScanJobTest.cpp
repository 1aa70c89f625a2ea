// The scan job over image files: what each source ends as, the stretches a
// failing disk kept back, cancelling, and continuing a saved deep scan.
#include <gtest/gtest.h>

#include "jobs/JobFixtures.h"
#include "jobs/ScanJob.h"
#include "platform/ErrorCodes.h"
#include "support/ReadFaults.h"

namespace salvora {
namespace {

class ScanJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
    floppy = test::MakeFloppy(dir);
    noise = dir / "noise.img";
    test::WriteFile(noise, test::PseudoRandomBytes(64 * 1024, 5));
  }

  static ScanItem ImageItem(const std::string& path, uint16_t tag) {
    ScanItem item;
    item.source.imagePath = path;
    item.source.sourceTag = tag;
    return item;
  }

  test::TempDir dir;
  test::ScopedDataDir data;
  test::Floppy floppy;
  std::string noise;
};

TEST_F(ScanJobTest, EachSourceEndsCompleteOrFailedAndTheJobGoesOn) {
  std::vector<ScanItem> items;
  items.push_back(ImageItem(noise, 1));
  items.push_back(ImageItem(floppy.image, 2));
  test::RecordingObserver observer;
  JobReport report = RunScanJob(items, {}, observer);

  EXPECT_EQ(items[0].report.outcome, JobOutcome::kFailed);
  EXPECT_FALSE(items[0].engine);
  EXPECT_FALSE(items[0].report.message.empty()) << "the user is told why";
  EXPECT_EQ(items[1].report.outcome, JobOutcome::kComplete);
  ASSERT_TRUE(items[1].engine);
  EXPECT_GE(items[1].engine->GetRecordCount(), floppy.files.size()) << "the deleted files";
  EXPECT_FALSE(items[1].runFolder.empty());
  EXPECT_TRUE(items[1].report.unreadAreas.empty());
  EXPECT_EQ(report.outcome, JobOutcome::kFailed);
  ASSERT_EQ(report.failedItems.size(), 1u);
  EXPECT_EQ(report.failedItems[0].name, noise);
  EXPECT_EQ(observer.lastStep, 1u);
}

TEST_F(ScanJobTest, StoppingAtAnUnusableSourceLeavesTheRestAsTheyWere) {
  std::vector<ScanItem> items;
  items.push_back(ImageItem(noise, 1));
  items.push_back(ImageItem(floppy.image, 2));
  ScanJobOptions options;
  options.stopAtUnusableSource = true;
  test::RecordingObserver observer;
  RunScanJob(items, options, observer);
  EXPECT_TRUE(items[0].reached);
  EXPECT_FALSE(items[1].reached);
  EXPECT_FALSE(items[1].engine);
}

bool Covers(const std::vector<ByteRange>& areas, uint64_t sector) {
  for (const ByteRange& area : areas)
    if (area.offset <= sector * 512 && area.End() >= (sector + 1) * 512) return true;
  return false;
}

// A folder the disk will not give: the scan keeps the rest, ends partial,
// and names the stretch it could not read.
TEST_F(ScanJobTest, ASourceThatFailsReadsEndsPartialWithItsUnreadStretch) {
  test::FaultPlan plan;
  plan.badSectors = {test::kDocsSector};
  test::ReadFaults faults(plan);
  std::vector<ScanItem> items;
  items.push_back(ImageItem(floppy.image, 1));
  test::RecordingObserver observer;
  JobReport report = RunScanJob(items, {}, observer);

  EXPECT_EQ(report.outcome, JobOutcome::kPartial);
  EXPECT_EQ(report.error, kReadFault);
  ASSERT_TRUE(items[0].engine);
  EXPECT_GT(items[0].engine->GetRecordCount(), 0u) << "what could be read is kept";
  EXPECT_TRUE(Covers(items[0].report.unreadAreas, test::kDocsSector))
      << items[0].report.unreadAreas.size() << " stretches, none over the folder";
}

// The deep walk reads ahead in large pieces on a thread of its own; a bad
// sector in the free space it walks is still named.
TEST_F(ScanJobTest, ADeepScanNamesABadSectorOfTheFreeSpaceItWalked) {
  constexpr uint64_t kFreeSector = 2000;
  test::FaultPlan plan;
  plan.badSectors = {kFreeSector};
  test::ReadFaults faults(plan);
  std::vector<ScanItem> items;
  items.push_back(ImageItem(floppy.image, 1));
  ScanJobOptions deep;
  deep.deep = true;
  test::RecordingObserver observer;
  EXPECT_EQ(RunScanJob(items, deep, observer).outcome, JobOutcome::kPartial);
  EXPECT_TRUE(Covers(items[0].report.unreadAreas, kFreeSector))
      << items[0].report.unreadAreas.size() << " stretches";
}

TEST_F(ScanJobTest, ACancelEndsTheJobAndSourcesNotReachedKeepTheirEngines) {
  std::vector<ScanItem> first;
  first.push_back(ImageItem(floppy.image, 2));
  test::RecordingObserver sound;
  RunScanJob(first, {}, sound);
  ASSERT_TRUE(first[0].engine);

  std::vector<ScanItem> items;
  items.push_back(ImageItem(floppy.image, 1));
  items.push_back(std::move(first[0]));
  test::RecordingObserver observer(2);  // lets the first source start, then stops
  JobReport report = RunScanJob(items, {}, observer);
  EXPECT_EQ(report.outcome, JobOutcome::kCancelled);
  EXPECT_EQ(items[0].report.outcome, JobOutcome::kCancelled);
  EXPECT_FALSE(items[1].reached);
  EXPECT_TRUE(items[1].engine) << "an earlier scan's results stay";
}

TEST_F(ScanJobTest, ADiskWhoseNodeIsGoneFailsInsteadOfReadingAnotherDisk) {
  std::vector<ScanItem> items(1);
  items[0].source.diskPath = "/dev/salvora-test-no-such-disk";
  items[0].source.listedDiskNumber = 0;
  items[0].source.sectorCount = 2880;
  test::RecordingObserver observer;
  RunScanJob(items, {}, observer);
  EXPECT_EQ(items[0].report.outcome, JobOutcome::kFailed);
  EXPECT_EQ(items[0].report.error, kFileNotFound);
  EXPECT_NE(items[0].report.message.find("/dev/salvora-test-no-such-disk"), std::string::npos);
}

// A deep scan cancelled during its walk is offered again; the answer decides
// whether it continues or starts afresh.
TEST_F(ScanJobTest, ASavedDeepScanIsContinuedOrForgottenAsTheAnswerSays) {
  ScanJobOptions deep;
  deep.deep = true;
  std::vector<ScanItem> items;
  items.push_back(ImageItem(floppy.image, 1));
  // Stops at the first figures of the walk (sectors counted).
  struct StopInWalk : test::RecordingObserver {
    bool OnProgress(const JobProgress& progress) override {
      return progress.sectorsTotal == 0 || progress.percent < 10;
    }
  } stop;
  if (RunScanJob(items, deep, stop).outcome != JobOutcome::kCancelled)
    GTEST_SKIP() << "the walk ended before it reported progress";
  items[0].engine.reset();

  int asked = 0;
  deep.keepSavedScan = [&](size_t step, const ScanPosition&) {
    EXPECT_EQ(step, 0u);
    ++asked;
    return false;
  };
  test::RecordingObserver observer;
  EXPECT_EQ(RunScanJob(items, deep, observer).outcome, JobOutcome::kComplete);
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(items[0].resumed);
  EXPECT_EQ(observer.maxPercent, 100) << "the engine's share of the bar, scaled to the whole";
}

}  // namespace
}  // namespace salvora
