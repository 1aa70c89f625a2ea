#pragma once
// The recovery window: copies the checked found files, each through the
// engine that found it, into group folders under the destination, and
// lists every file with its outcome.
#include <string>
#include <vector>

#include "app/DetailModel.h"
#include "app/DiskListItem.h"
#include "app/ProgressWnd.h"
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

class CRecoverProcessWnd : public ProgressWnd {
  Q_OBJECT

 public:
  CRecoverProcessWnd(RecoveryJob job, QWidget* owner);

  static int OnTransfer(void* window, int32_t percent, int32_t scale, int32_t errorCode,
                        const char* path);

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

  // Copies one record; false when the recovery must stop.
  // Copies one record; false only when the user cancelled.
  bool RecoverRecord(const FoundRecord& record);
  // The engine's copy of one record, as a result code even when it throws.
  int CopyOut(IFileRecoveryParse& engine, const FoundRecord& record, const std::string& path);
  IFileRecoveryParse* EngineOf(const FoundRecord& record) const;
  // A finished file (lock held).
  void NoteFile(const std::string& path, int errorCode);
  void ToggleDetails();
  void CloseOrCancel();

  RecoveryJob job_;
  // Under lock_.
  uint64_t completed_ = 0, failed_ = 0;
  int32_t percent_ = 0;
  std::string currentPath_;
  std::vector<DetailRow> pendingRows_;
  bool fileReported_ = false;  // the engine reported the current file itself

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
