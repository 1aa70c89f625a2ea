#include "app/ProgressWnd.h"

#include <QEventLoop>

#include "app/LanguageStore.h"
#include "app/MessageBox.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr int kRefreshMs = 50;
constexpr int kQuestionWidth = 350;
constexpr int kQuestionHeight = 160;

}  // namespace

ProgressWnd::ProgressWnd(const QString& skin, QSize startSize, QWidget* owner)
    : QDialog(owner), form_(LoadSkin(skin, this)), startSize_(startSize) {
  setModal(true);
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, &ProgressWnd::ShowIfChanged);
  connect(&LanguageStore::Instance(), &LanguageStore::Changed, this, &ProgressWnd::Retext);
}

ProgressWnd::~ProgressWnd() {
  if (worker_.joinable()) worker_.join();
}

int ProgressWnd::Run() {
  Retext();
  resize(sizeHint().expandedTo(startSize_));
  worker_ = std::thread([this] {
    // An engine that throws (out of memory on a hostile volume) fails this
    // operation, not the program holding the user's results.
    try {
      Work();
    } catch (...) {
      EndWork(kClosedFailed);
    }
  });
  refresh_.start();
  // Our own loop rather than exec(): a dialog hidden during exec() ends it,
  // and this window hides while it asks its questions.
  QEventLoop loop;
  bool closed = false;
  connect(this, &QDialog::finished, &loop, [&] {
    closed = true;
    loop.quit();
  });
  if (showDelayMs_ > 0) {
    QTimer::singleShot(showDelayMs_, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (!closed) {
    show();
    loop.exec(QEventLoop::DialogExec);
  }
  refresh_.stop();
  if (worker_.joinable()) worker_.join();
  return result();
}

void ProgressWnd::Retext() {
  ApplyTexts(form_);
  std::lock_guard<std::mutex> hold(lock_);
  ShowFigures();
}

void ProgressWnd::ShowIfChanged() {
  if (questionOpen_) return;  // this thread holds the lock meanwhile
  std::lock_guard<std::mutex> hold(lock_);
  if (!changed_) return;
  changed_ = false;
  ShowFigures();
}

int ProgressWnd::StorePercent(int32_t percent, int32_t& shown) {
  std::lock_guard<std::mutex> hold(lock_);
  if (cancelFlag_) return kCancelled;
  if (percent != shown) {
    shown = percent;
    MarkChanged();
  }
  return 0;
}

void ProgressWnd::EndWork(int code) {
  done_ = true;
  QMetaObject::invokeMethod(
      this, [this, code] { HandleEnd(code); }, Qt::QueuedConnection);
}

void ProgressWnd::HandleEnd(int code) {
  endedCode_ = code;
  if (questionOpen_) return;  // the answer decides what happens next
  {
    std::lock_guard<std::mutex> hold(lock_);
    ShowFigures();
  }
  if (cancelConfirmed_) {
    done(CodeAfterCancel(code));
    return;
  }
  OnWorkEnded(code);
}

void ProgressWnd::OnWorkEnded(int code) { done(code); }

int ProgressWnd::CodeAfterCancel(int) const { return kClosedCancelled; }

void ProgressWnd::reject() { AskToCancel(); }

void ProgressWnd::AskToCancel() {
  if (questionOpen_ || workerQuestionOpen_ || cancelConfirmed_) return;
  lock_.lock();
  questionOpen_ = true;
  hide();
  int answer = CMessageBox::Show(this, CMessageBox::kQuestion, Msg(CancelQuestionKey()),
                                 kQuestionWidth, kQuestionHeight);
  if (answer == CMessageBox::kOk) {
    cancelFlag_ = true;
    cancelConfirmed_ = true;
    OnCancelConfirmed();
  } else {
    show();
  }
  questionOpen_ = false;
  lock_.unlock();
  // The worker may have ended while the question was open.
  if (done_ && endedCode_ != -1) HandleEnd(endedCode_);
}

bool ProgressWnd::AskToStop() {
  AskToCancel();
  return cancelConfirmed_;
}

void ProgressWnd::CancelWithoutAsking() {
  // An open question is dismissed first; the next call finds it closed.
  if (cancelConfirmed_ || questionOpen_ || workerQuestionOpen_) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    cancelFlag_ = true;
    cancelConfirmed_ = true;
    OnCancelConfirmed();
  }
  if (done_ && endedCode_ != -1) HandleEnd(endedCode_);
}

int ProgressWnd::AskFromWorker(int kind, const char* key, int width, int height) {
  constexpr int kAskLater = -1;
  for (;;) {
    int answer = kAskLater;
    QMetaObject::invokeMethod(
        this,
        [&] {
          // Two questions at once would leave one of them unanswerable
          // under the other's modality: the worker asks after the user's.
          if (questionOpen_) return;
          if (cancelConfirmed_) {
            answer = kNoAnswer;
            return;
          }
          workerQuestionOpen_ = true;
          hide();
          answer = CMessageBox::Show(parentWidget(), kind, Msg(key), width, height);
          show();
          workerQuestionOpen_ = false;
        },
        Qt::BlockingQueuedConnection);
    if (answer != kAskLater) return answer;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRefreshMs));
  }
}

bool ProgressWnd::CancelRequested() {
  std::lock_guard<std::mutex> hold(lock_);
  return cancelFlag_;
}

}  // namespace salvora
