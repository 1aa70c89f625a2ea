#include "jobs/JobReport.h"

namespace salvora {

void JobReport::Worsen(JobOutcome worse, int errorCode) {
  if (error == 0) error = errorCode;
  if (worse > outcome) outcome = worse;
}

void JobReport::AddFailure(const std::string& name, int errorCode) {
  failedItems.push_back({name, errorCode});
  Worsen(JobOutcome::kPartial, errorCode);
}

void JobReport::Absorb(const JobReport& step) {
  Worsen(step.outcome, step.error);
  if (message.empty()) message = step.message;
  failedItems.insert(failedItems.end(), step.failedItems.begin(), step.failedItems.end());
  itemsDone += step.itemsDone;
}

}  // namespace salvora
