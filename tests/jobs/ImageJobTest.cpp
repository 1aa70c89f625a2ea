// The imaging job: a stretch of a source copied exactly, the sectors a
// failing disk would not give named where they lie on the source, and a
// copy that cannot be made reported as failed.
#include <gtest/gtest.h>

#include "jobs/ImageJob.h"
#include "jobs/JobFixtures.h"
#include "platform/ErrorCodes.h"
#include "support/ReadFaults.h"

namespace salvora {
namespace {

class ImageJobTest : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteFile(source, bytes); }

  ImageJobInput Input(bool skipUnreadable) const {
    ImageJobInput input;
    input.source.imagePath = source;
    input.source.firstSector = kFirst;
    input.source.sectorCount = kCount;
    input.target = target;
    input.unreadable.skipUnreadable = skipUnreadable;
    return input;
  }

  static constexpr uint64_t kFirst = 8, kCount = 1000;
  test::TempDir dir;
  std::string source = dir / "disk.img", target = dir / "copy.img";
  std::string bytes = test::PseudoRandomBytes(2048 * 512, 21);
};

TEST_F(ImageJobTest, AStretchIsCopiedExactly) {
  test::RecordingObserver observer;
  ImageJobResult result = RunImageJob(Input(false), observer);
  EXPECT_EQ(result.report.outcome, JobOutcome::kComplete);
  EXPECT_EQ(result.copiedBytes, kCount * 512);
  EXPECT_TRUE(observer.sawSectors);
  EXPECT_TRUE(test::ReadFile(target) == bytes.substr(kFirst * 512, kCount * 512));
}

TEST_F(ImageJobTest, UnreadableSectorsAreNamedWhereTheyLieOnTheSource) {
  test::FaultPlan plan;
  plan.badSectors = {100, 101, 700};
  test::ReadFaults faults(plan);
  test::RecordingObserver observer;
  ImageJobResult result = RunImageJob(Input(true), observer);
  EXPECT_EQ(result.report.outcome, JobOutcome::kPartial);
  EXPECT_EQ(result.report.unreadAreas,
            (std::vector<ByteRange>{{100 * 512, 1024}, {700 * 512, 512}}));
  std::string copy = test::ReadFile(target);
  ASSERT_EQ(copy.size(), kCount * 512);
  EXPECT_EQ(copy.substr((100 - kFirst) * 512, 1024), std::string(1024, '\0'));
}

TEST_F(ImageJobTest, AFailedReadOrAMissingSourceFailsTheJob) {
  {
    test::FaultPlan plan;
    plan.badSectors = {100};
    test::ReadFaults faults(plan);
    test::RecordingObserver observer;
    ImageJobResult result = RunImageJob(Input(false), observer);
    EXPECT_EQ(result.report.outcome, JobOutcome::kFailed);
    EXPECT_EQ(result.report.error, kReadFault);
    EXPECT_LE(result.copiedBytes, (100 - kFirst) * 512);
  }
  ImageJobInput gone = Input(false);
  gone.source.imagePath.clear();
  gone.source.diskPath = "/dev/salvora-test-no-such-disk";
  test::RecordingObserver observer;
  ImageJobResult result = RunImageJob(gone, observer);
  EXPECT_EQ(result.report.outcome, JobOutcome::kFailed);
  EXPECT_FALSE(result.report.message.empty());
}

TEST_F(ImageJobTest, ACancelEndsTheCopyAsCancelled) {
  test::RecordingObserver observer(1);
  EXPECT_EQ(RunImageJob(Input(false), observer).report.outcome, JobOutcome::kCancelled);
}

}  // namespace
}  // namespace salvora
