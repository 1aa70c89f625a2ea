#include <gtest/gtest.h>

#include "jobs/JobReport.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

TEST(JobReport, KeepsTheWorseOutcomeTheFirstErrorAndJoinsTheGaps) {
  JobReport whole;
  JobReport partial;
  partial.Worsen(JobOutcome::kPartial, kReadFault);
  partial.unreadAreas = {{512, 512}, {4096, 1024}};
  JobReport failed;
  failed.Worsen(JobOutcome::kFailed, kFileNotFound);
  failed.message = "gone";
  failed.unreadAreas = {{1024, 3072}};
  whole.Absorb(partial);
  whole.Absorb(failed);
  EXPECT_EQ(whole.outcome, JobOutcome::kFailed);
  EXPECT_EQ(whole.error, kReadFault);
  EXPECT_EQ(whole.message, "gone");
  ASSERT_EQ(whole.unreadAreas.size(), 1u);
  EXPECT_EQ(whole.unreadAreas[0], (ByteRange{512, 4608}));
  whole.Worsen(JobOutcome::kPartial, kWriteFault);
  EXPECT_EQ(whole.outcome, JobOutcome::kFailed) << "a better outcome never replaces a worse one";
}

}  // namespace
}  // namespace salvora
