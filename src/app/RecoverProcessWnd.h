#pragma once
// The recovery window: presents the recovery job that copies the checked
// found files, each through the engine that found it, into group folders
// under the destination, and lists every file with its outcome.
#include <string>
#include <vector>

#include "app/DetailModel.h"
#include "app/DiskListItem.h"
#include "app/ProgressWnd.h"
#include "jobs/JobObserver.h"
#include "results/FoundRecord.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace salvora {

struct RecoveryJob {
  std::string destination;           // the chosen folder, without a trailing '/'
  std::vector<FoundRecord> records;  // in the order they are copied
  std::vector<DiskListItem*> sources;
};

class CRecoverProcessWnd : public ProgressWnd, public JobObserver {
  Q_OBJECT

 public:
  CRecoverProcessWnd(RecoveryJob job, QWidget* owner);

  bool OnProgress(const JobProgress& progress) override;
  void OnFileDone(const std::string& path, int error) override;

  // After the last file the window's close button just closes it.
  void reject() override { CloseOrCancel(); }

  uint64_t Completed() const { return completed_; }
  uint64_t Failed() const { return failed_; }

 private:
  void Work() override;
  void ShowFigures() override;
  const char* CancelQuestionKey() const override { return "MSG1103"; }
  void OnWorkEnded(int code) override;
  void Retext() override;

  void ToggleDetails();
  void CloseOrCancel();

  RecoveryJob job_;
  // Under lock_.
  uint64_t completed_ = 0, failed_ = 0;
  int32_t percent_ = 0;
  std::string currentPath_;
  std::vector<DetailRow> pendingRows_;

  DetailModel details_;
  bool finished_ = false;
  QLabel* current_;
  QLabel* recovered_;
  QLabel* percentText_;
  QProgressBar* progress_;
  QPushButton* finishBtn_;
  QPushButton* cancelBtn_;
  QTreeView* detailList_;
};

}  // namespace salvora
