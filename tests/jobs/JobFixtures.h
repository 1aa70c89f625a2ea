#pragma once
// A FAT12 floppy made with mkfs.fat and mtools for the job suites: a folder
// "Docs" that takes the first data cluster (sector 33, so that a bad sector
// there costs only what the folder holds), deleted files in the root and in
// Docs, and a live one.
#include <algorithm>
#include <map>
#include <string>

#include "jobs/JobObserver.h"
#include "support/TestSupport.h"

namespace salvora::test {

constexpr uint64_t kDocsSector = 33;

struct Floppy {
  std::string image;
  // Name -> bytes of every deleted file, which the quick scan finds (its
  // names lose their first letter).
  std::map<std::string, std::string> files;
};

bool HaveFatTools();
Floppy MakeFloppy(const TempDir& dir);

// Records what a job reported; stops the job at progress call `stopAt`
// (counted from 1; 0: never).
class RecordingObserver : public JobObserver {
 public:
  explicit RecordingObserver(int stopAt = 0) : stopAt_(stopAt) {}
  bool OnProgress(const JobProgress& progress) override {
    ++calls;
    lastStep = progress.step;
    if (progress.sectorsTotal != 0) sawSectors = true;
    maxPercent = std::max(maxPercent, progress.percent);
    return stopAt_ == 0 || calls < stopAt_;
  }
  void OnFileDone(const std::string& path, int error) override { done[path] = error; }

  int calls = 0;
  size_t lastStep = 0;
  bool sawSectors = false;
  int32_t maxPercent = 0;
  std::map<std::string, int> done;

 private:
  int stopAt_;
};

}  // namespace salvora::test
