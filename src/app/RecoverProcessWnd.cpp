#include "app/RecoverProcessWnd.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <new>

#include "app/ItemJobs.h"
#include "app/LanguageStore.h"
#include "platform/ErrorCodes.h"
#include "jobs/RecoverJob.h"

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

bool CRecoverProcessWnd::OnProgress(const JobProgress& progress) {
  std::lock_guard<std::mutex> hold(lock_);
  if (cancelFlag_) return false;
  currentPath_ = progress.path;
  percent_ = progress.percent;
  MarkChanged();
  return true;
}

void CRecoverProcessWnd::OnFileDone(const std::string& path, int error) {
  QString status = error == kOk
                       ? LanguageStore::Instance().Text("RecoverProcessWnd", "DetailSuccess")
                       : QString::fromStdString(ErrorMessage(error));
  std::lock_guard<std::mutex> hold(lock_);
  pendingRows_.push_back({QString::fromStdString(path), status, error != kOk});
  ++completed_;
  if (error != kOk) ++failed_;
  MarkChanged();
}

void CRecoverProcessWnd::Work() {
  JobReport report = RunRecoverJob(job_.records, RecoverySourcesOf(job_.sources),
                                   {job_.destination, false}, *this);
  EndWork(report.outcome == JobOutcome::kCancelled ? kClosedCancelled : kClosedNormally);
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
