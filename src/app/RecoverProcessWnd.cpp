#include "app/RecoverProcessWnd.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <new>

#include "app/LanguageStore.h"
#include "platform/ErrorCodes.h"
#include "results/RecoveryNames.h"

namespace salvora {
namespace {

constexpr int kDetailGrowWidth = 150;
constexpr int kDetailGrowHeight = 300;

}  // namespace

CRecoverProcessWnd::CRecoverProcessWnd(RecoveryJob job, QWidget* owner)
    : ProgressWnd("RecoverProcessWnd", QSize(500, 240), owner),
      job_(std::move(job)),
      current_(Control<QLabel>("current")),
      recovered_(Control<QLabel>("recovered")),
      percentText_(Control<QLabel>("percent")),
      progress_(Control<QProgressBar>("progress")),
      finishBtn_(Control<QPushButton>("FinishBtn")),
      cancelBtn_(Control<QPushButton>("CancelBtn")),
      detailList_(Control<QTreeView>("DetailList")) {
  detailList_->setModel(&details_);
  detailList_->setRootIsDecorated(false);
  detailList_->setUniformRowHeights(true);
  detailList_->setTextElideMode(Qt::ElideMiddle);
  detailList_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  detailList_->header()->setStretchLastSection(false);
  detailList_->hide();
  finishBtn_->hide();
  connect(finishBtn_, &QPushButton::clicked, this, [this] { done(kClosedNormally); });
  connect(cancelBtn_, &QPushButton::clicked, this, &CRecoverProcessWnd::CloseOrCancel);
  connect(Control<QPushButton>("DetailBtn"), &QPushButton::clicked, this,
          &CRecoverProcessWnd::ToggleDetails);
  connect(Control<QPushButton>("OpenBtn"), &QPushButton::clicked, this, [this] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(job_.destination)));
  });
}

int CRecoverProcessWnd::OnTransfer(void* window, int32_t percent, int32_t scale, int32_t errorCode,
                                   const char* path) {
  auto* self = static_cast<CRecoverProcessWnd*>(window);
  std::lock_guard<std::mutex> hold(self->lock_);
  if (self->cancelFlag_) return kCancelled;
  int32_t shown = static_cast<int32_t>(int64_t{percent} * scale / 100);
  self->currentPath_ = path ? path : "";
  self->percent_ = shown;
  if (shown == 100) {
    self->NoteFile(self->currentPath_, errorCode);
    self->fileReported_ = true;
  }
  self->MarkChanged();
  return 0;
}

void CRecoverProcessWnd::NoteFile(const std::string& path, int errorCode) {
  QString status = errorCode == kOk
                       ? LanguageStore::Instance().Text("RecoverProcessWnd", "DetailSuccess")
                       : QString::fromStdString(ErrorMessage(errorCode));
  pendingRows_.push_back({QString::fromStdString(path), status, errorCode != kOk});
  ++completed_;
  if (errorCode != kOk) ++failed_;
}

IFileRecoveryParse* CRecoverProcessWnd::EngineOf(const FoundRecord& record) const {
  for (DiskListItem* source : job_.sources)
    if (source->key == record.sourceTag) return source->engine.get();
  return nullptr;
}

int CRecoverProcessWnd::CopyOut(IFileRecoveryParse& engine, const FoundRecord& record,
                                const std::string& path) {
  if (engine.SetCallbacks(nullptr, &CRecoverProcessWnd::OnTransfer, this, 100) != kOk)
    return kInvalidParameter;
  // One file that throws (out of memory on a hostile record, say) fails
  // alone; the others are still copied.
  try {
    return engine.RecoverItem(&record, path, PathDepth(job_.destination));
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  } catch (...) {
    return kInvalidParameter;
  }
}

bool CRecoverProcessWnd::RecoverRecord(const FoundRecord& record) {
  std::string path = GroupedRecoveryPath(job_.destination, record);
  IFileRecoveryParse* engine = EngineOf(record);
  {
    std::lock_guard<std::mutex> hold(lock_);
    fileReported_ = false;
  }
  int result = engine ? CopyOut(*engine, record, path) : kInvalidParameter;
  if (result == kCancelled) return false;
  std::lock_guard<std::mutex> hold(lock_);
  // A file that failed before the engine said anything about it still gets
  // its red row: a silent failure would look like success.
  if (!fileReported_ && result != kOk) {
    NoteFile(path, result);
    MarkChanged();
  }
  return true;
}

void CRecoverProcessWnd::Work() {
  for (const FoundRecord& record : job_.records) {
    if (!RecoverRecord(record)) {
      std::lock_guard<std::mutex> hold(lock_);
      if (cancelFlag_) {
        EndWork(kClosedCancelled);
        return;
      }
      break;
    }
  }
  EndWork(kClosedNormally);
}

void CRecoverProcessWnd::OnWorkEnded(int code) {
  if (code == kClosedCancelled) {
    done(kClosedCancelled);
    return;
  }
  finished_ = true;
  finishBtn_->show();
  cancelBtn_->hide();
}

void CRecoverProcessWnd::CloseOrCancel() {
  if (finished_) {
    done(kClosedNormally);
    return;
  }
  AskToCancel();
}

void CRecoverProcessWnd::ToggleDetails() {
  bool showing = detailList_->isVisible();
  detailList_->setVisible(!showing);
  QSize grow(kDetailGrowWidth, kDetailGrowHeight);
  resize(showing ? size() - grow : size() + grow);
}

void CRecoverProcessWnd::Retext() {
  details_.SetHeaders(LanguageStore::Instance().Text("RecoverProcessWnd", "DetailPath"),
                      LanguageStore::Instance().Text("RecoverProcessWnd", "DetailStatus"));
  ProgressWnd::Retext();
}

void CRecoverProcessWnd::ShowFigures() {
  details_.Add(pendingRows_);
  pendingRows_.clear();
  progress_->setValue(percent_);
  // A long path is shortened in its middle rather than widening the window.
  QString path = QString::fromStdString(currentPath_);
  current_->setText(current_->fontMetrics().elidedText(path, Qt::ElideMiddle, current_->width()));
  current_->setToolTip(path);
  percentText_->setText(QStringLiteral("%1 %2%").arg(Msg("MSG1101")).arg(percent_));
  uint64_t total = job_.records.size();
  recovered_->setText(MsgFormat("MSG1102", {completed_, total, completed_ - failed_, failed_}));
}

}  // namespace salvora
