#pragma once
// The scan window: presents the scan job over the chosen sources (one after
// the other, each with a new engine) and shows how far the current one has
// come.
#include <string>
#include <vector>

#include "app/DiskListItem.h"
#include "app/ProgressWnd.h"
#include "jobs/JobObserver.h"
#include "jobs/JobReport.h"

class QLabel;
class QProgressBar;

namespace salvora {

class CScanProcessWnd : public ProgressWnd, public JobObserver {
  Q_OBJECT

 public:
  static constexpr int kQuickScan = 0;
  static constexpr int kDeepScan = 1;

  CScanProcessWnd(std::vector<DiskListItem*> sources, int scanMode, QWidget* owner);

  // The run folders this window's quick scans started; their results live
  // there until the next scan.
  const std::vector<std::string>& RunFolders() const { return runFolders_; }
  // What the last engine's scan returned (the cancel code after a cancel).
  int LastScanResult() const { return lastScanResult_; }
  // Why the last source could not be scanned (close code 3).
  const std::string& FailureText() const { return failureText_; }

  // A source the scan did not cover in full, and why.
  struct Gap {
    const DiskListItem* source;
    std::string reason;
    // Stretches of the source's disk or image not read, in bytes.
    std::vector<ByteRange> unread = {};
  };
  // Entries no engine could scan: the others were scanned all the same.
  const std::vector<Gap>& Skipped() const { return skipped_; }
  // Sources whose scan ended early, mostly on sectors the disk would not
  // give: what was found is listed, what lay there may be missing.
  const std::vector<Gap>& Incomplete() const { return incomplete_; }

  // The job's figures: stored under the lock, or false once cancelled.
  bool OnProgress(const JobProgress& progress) override;

 private:
  struct Figures {
    size_t source = 0;
    int32_t shown = 0;
    int32_t secondsLeft = -1;
    uint64_t sectorsDone = 0;
    uint64_t sectorsTotal = 0;
    uint64_t filesFound = 0;
  };

  void Work() override;
  void ShowFigures() override;
  const char* CancelQuestionKey() const override { return "MSG0709"; }
  int CodeAfterCancel(int workerCode) const override { return workerCode; }

  // Lets the user keep or drop the results of an interrupted deep scan.
  bool KeepSavedScan();
  // Takes in what the job told of one source it reached.
  void NoteSource(const DiskListItem& source, const JobReport& report);
  QString StageText(const DiskListItem& source) const;

  std::vector<DiskListItem*> sources_;
  int scanMode_;
  std::vector<std::string> runFolders_;
  std::string failureText_;
  int lastScanResult_ = 0;
  std::vector<Gap> skipped_;
  std::vector<Gap> incomplete_;
  Figures figures_;  // under lock_

  QLabel* stage_;
  QLabel* percent_;
  QLabel* time_;
  QProgressBar* progress_;
  QLabel* sectors_;
  QLabel* totalfile_;
};

}  // namespace salvora
