#pragma once
// A modal window that shows one long operation running on one worker
// thread and lets the user stop it.
//
// Qt allows widgets to be touched only on the window thread, so the
// worker's progress callbacks never touch them: they store their figures
// under the window's lock and mark them changed, and a timer on the window
// thread shows them. The lock is also the pause button: while the cancel
// question is open the window thread holds it, so the engine waits inside
// its next callback; "no" lets it go on where it stood, "yes" sets the
// cancel flag and the engine stops with the cancel code. The worker is
// always joined before the window is destroyed.
#include <QDialog>
#include <QSize>
#include <QString>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <thread>

#include "app/Skin.h"

namespace salvora {

class ProgressWnd : public QDialog {
  Q_OBJECT

 public:
  // Close codes.
  static constexpr int kClosedNormally = 1;
  static constexpr int kClosedCancelled = 2;
  static constexpr int kClosedFailed = 3;

  ~ProgressWnd() override;

  // Starts the worker, shows the window modally and returns its close code.
  int Run();

  // The window's own close button and Escape ask to cancel, like cancelbtn.
  void reject() override;
  // Asks the cancel question as cancelbtn does; true when the user said yes.
  bool AskToStop();
  // Cancels without a question, when the program must end (window thread).
  void CancelWithoutAsking();
  // Whether the worker has started and not yet been joined.
  bool IsWorking() const { return worker_.joinable(); }

  // Work that is usually quick shows the window only after this long, and
  // takes no user input meanwhile.
  void SetShowDelay(int milliseconds) { showDelayMs_ = milliseconds; }

 protected:
  ProgressWnd(const QString& skin, QSize startSize, QWidget* owner);

  QWidget* Form() const { return form_; }
  template <typename T>
  T* Control(const char* name) const {
    return Bind<T>(form_, name);
  }

  // The operation; runs on the worker thread and ends with EndWork.
  virtual void Work() = 0;
  // Shows the stored figures; window thread, lock held.
  virtual void ShowFigures() = 0;
  // The "Messages" key of the cancel question.
  virtual const char* CancelQuestionKey() const = 0;
  // The worker has ended with `code`; by default the window closes with it.
  virtual void OnWorkEnded(int code);
  // The close code after a confirmed cancel, once the worker has ended.
  virtual int CodeAfterCancel(int workerCode) const;
  // Static texts again after a change of language.
  virtual void Retext();
  // The user confirmed the cancel (window thread, lock held): work that no
  // callback reaches, such as a helper process, is stopped here.
  virtual void OnCancelConfirmed() {}

  // Worker side: the figures changed (caller holds lock_).
  void MarkChanged() { changed_ = true; }
  // Worker side, for a window whose one figure is a percentage: stores it
  // in `shown` under the lock. kCancelled once the user has cancelled.
  int StorePercent(int32_t percent, int32_t& shown);
  // Worker side, its last call: sets the done flag and hands `code` to the
  // window thread.
  void EndWork(int code);
  // Asks the cancel question and acts on the answer (window thread).
  void AskToCancel();
  // Asks a question from the worker thread on the window thread, with this
  // window hidden meanwhile; returns the message box's answer, or kNoAnswer
  // when the user cancelled the operation before it could be asked.
  static constexpr int kNoAnswer = 0;
  int AskFromWorker(int kind, const char* key, int width, int height);
  // Worker side: whether the user has confirmed the cancel.
  bool CancelRequested();

  // Guards the figures and the cancel flag.
  std::mutex lock_;
  // Read and written under lock_.
  bool cancelFlag_ = false;

 private:
  void ShowIfChanged();
  void HandleEnd(int code);

  QWidget* form_;
  QSize startSize_;
  QTimer refresh_;
  std::thread worker_;
  std::atomic<bool> done_{false};
  bool changed_ = false;
  // Window-thread state of the cancel protocol.
  bool questionOpen_ = false;
  bool workerQuestionOpen_ = false;
  bool cancelConfirmed_ = false;
  int endedCode_ = -1;
  int showDelayMs_ = 0;
};

}  // namespace salvora
