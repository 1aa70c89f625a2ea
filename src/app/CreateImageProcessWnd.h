#pragma once
// The imaging window: presents the imaging job that copies a partition, an
// unallocated stretch or a whole disk into a raw image file, and shows how
// far the copy has come.
#include <optional>
#include <string>

#include "app/ProgressWnd.h"
#include "jobs/JobObserver.h"
#include "storage/PartitionRecord.h"

class QLabel;
class QProgressBar;

namespace salvora {

struct ImageJob {
  std::optional<PartitionRecord> source;  // a partition or unallocated stretch
  int32_t diskNumber = -1;                // a whole disk, when there is no record
  std::string target;
  // The whole disk's node: it keeps naming the chosen disk while disk
  // numbers shift as other disks come and go. Empty for image files.
  std::string diskPath;
};

class CCreateImageProcessWnd : public ProgressWnd, public JobObserver {
  Q_OBJECT

 public:
  CCreateImageProcessWnd(ImageJob job, QWidget* owner);

  bool OnProgress(const JobProgress& progress) override;
  // The result code of the copy (0, a read or write fault, or the cancel code).
  int Result() const { return result_; }

 private:
  void Work() override;
  void ShowFigures() override;
  const char* CancelQuestionKey() const override { return "MSG0306"; }
  int CodeAfterCancel(int workerCode) const override { return workerCode; }

  ImageJob job_;
  int result_ = 0;
  // Under lock_.
  int32_t percent_ = 0;
  int32_t secondsLeft_ = -1;
  uint64_t sectorsDone_ = 0, sectorsTotal_ = 0;

  QLabel* stage_;
  QLabel* percentText_;
  QLabel* time_;
  QProgressBar* progress_;
  QLabel* sectors_;
};

}  // namespace salvora
