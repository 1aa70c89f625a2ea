#include <gtest/gtest.h>

#include "jobs/JobReport.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

TEST(JobReport, KeepsTheWorseOutcomeTheFirstErrorAndEveryFailedItem) {
  JobReport whole;
  JobReport partial;
  partial.Worsen(JobOutcome::kPartial, kReadFault);
  partial.AddFailure("a.jpg", kReadFault);
  JobReport failed;
  failed.Worsen(JobOutcome::kFailed, kFileNotFound);
  failed.message = "gone";
  failed.unreadAreas = {{1024, 3072}};
  failed.itemsDone = 2;
  whole.Absorb(partial);
  whole.Absorb(failed);
  EXPECT_EQ(whole.outcome, JobOutcome::kFailed);
  EXPECT_EQ(whole.error, kReadFault);
  EXPECT_EQ(whole.message, "gone");
  EXPECT_EQ(whole.itemsDone, 2u);
  ASSERT_EQ(whole.failedItems.size(), 1u);
  EXPECT_EQ(whole.failedItems[0].name, "a.jpg");
  EXPECT_TRUE(whole.unreadAreas.empty()) << "stretches of different sources are never mixed";
  whole.Worsen(JobOutcome::kPartial, kWriteFault);
  EXPECT_EQ(whole.outcome, JobOutcome::kFailed) << "a better outcome never replaces a worse one";
}

}  // namespace
}  // namespace salvora
