#pragma once
// What a job tells when it ends: whether it did all it was asked, did it
// with gaps (the stretches of the source it could not read, the items that
// failed), could not do it at all, or was stopped by the user. A front end
// words this for its user; the job itself never prints.
#include <cstdint>
#include <string>
#include <vector>

#include "storage/ByteRange.h"

namespace salvora {

// Ordered from best to worst: a report that takes in another keeps the worse.
enum class JobOutcome { kComplete, kPartial, kFailed, kCancelled };

struct FailedItem {
  std::string name;  // the path written for a file, or the source's name
  int error = 0;
};

struct JobReport {
  JobOutcome outcome = JobOutcome::kComplete;
  // The first error met: a read fault for a scan with gaps, the cause of a
  // failure. 0 for a complete job.
  int error = 0;
  // A sentence saying why the job failed, when it says more than the code.
  std::string message;
  // Stretches of the source not read, in bytes of the device node or image
  // file, sorted and joined; `unreadLeftOut` counts the stretches beyond
  // what the list keeps.
  std::vector<ByteRange> unreadAreas;
  uint64_t unreadLeftOut = 0;
  // Files (or sources) that failed, each with its error.
  std::vector<FailedItem> failedItems;
  // Files recovered or failed, records collected, sources scanned.
  uint64_t itemsDone = 0;

  // Sets the outcome to `worse` when that is worse, keeping the first error.
  void Worsen(JobOutcome worse, int errorCode);
  // Adds one failed item; the job is partial from now on.
  void AddFailure(const std::string& name, int errorCode);
  // Takes in the report of one step of this job: the worse outcome, the
  // first error and message, every failed item, the items done. The
  // stretches not read stay with the step, whose source they belong to.
  void Absorb(const JobReport& step);
};

}  // namespace salvora
