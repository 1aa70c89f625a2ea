#pragma once
// The type-collection window: after a scan, presents the collection job
// that asks every scanned source's engine for its found files of the
// chosen types.
#include <functional>
#include <string>
#include <vector>

#include "app/DiskListItem.h"
#include "app/ProgressWnd.h"
#include "jobs/CollectJob.h"
#include "results/RecordArena.h"

class QLabel;
class QProgressBar;

namespace salvora {

class CSearchProcessWnd : public ProgressWnd, public JobObserver {
  Q_OBJECT

 public:
  // Appends the files that `filter` takes to `results`, and, when `paths`
  // is given, each one's folder path to it: the results page sorts and
  // shows paths, and asking the engines for them here keeps that work off
  // the window thread.
  CSearchProcessWnd(std::vector<DiskListItem*> sources, std::string filter, RecordArena& results,
                    QWidget* owner, std::vector<std::string>* paths = nullptr);

  // Work that the collected files need before they can be shown (grouping
  // a million of them takes a while), run on the worker after collecting,
  // cancelled or not.
  void SetFinishingStep(std::function<void()> step) { finishingStep_ = std::move(step); }
  bool OnProgress(const JobProgress& progress) override;

 private:
  void Work() override;
  void ShowFigures() override;
  const char* CancelQuestionKey() const override { return "MSG1205"; }
  QString StageText(const DiskListItem& source) const;

  std::vector<DiskListItem*> sources_;
  std::string filter_;
  RecordArena& results_;
  std::vector<std::string>* paths_;
  std::function<void()> finishingStep_;
  size_t current_ = 0;   // under lock_
  int32_t percent_ = 0;  // under lock_

  QLabel* stage_;
  QLabel* percentText_;
  QProgressBar* progress_;
};

}  // namespace salvora
