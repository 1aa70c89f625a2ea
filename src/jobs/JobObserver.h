#pragma once
// How a front end follows a job: the job calls its observer on the thread
// that runs the job, and the observer's answer is the cancel button. A
// front end that blocks inside OnProgress (a window asking "stop?") pauses
// the job right there; answering false ends it as cancelled, keeping what
// it had done.
#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

struct JobProgress {
  size_t step = 0;          // the source (scan, collection) the job is at
  int32_t percent = 0;      // of that step, 0-100, as it should be shown
  int32_t secondsLeft = -1;  // -1 while unknown
  uint64_t sectorsDone = 0;
  uint64_t sectorsTotal = 0;  // 0: the step counts no sectors
  uint64_t filesFound = 0;
  std::string path;  // the file being written (recovery)
};

class JobObserver {
 public:
  virtual ~JobObserver() = default;
  // The figures changed; false stops the job.
  virtual bool OnProgress(const JobProgress& progress) = 0;
  // A recovery finished one file: written (error 0) or failed.
  virtual void OnFileDone(const std::string& path, int error) {
    (void)path;
    (void)error;
  }
};

}  // namespace salvora
