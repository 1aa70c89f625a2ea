#include "app/CreateImageProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/LanguageStore.h"
#include "jobs/ImageJob.h"
#include "platform/ErrorCodes.h"
#include "storage/FormatSize.h"

namespace salvora {

CCreateImageProcessWnd::CCreateImageProcessWnd(ImageJob job, QWidget* owner)
    : ProgressWnd("CreateImageProcessWnd", QSize(450, 270), owner),
      job_(std::move(job)),
      stage_(Control<QLabel>("stage")),
      percentText_(Control<QLabel>("percent")),
      time_(Control<QLabel>("time")),
      progress_(Control<QProgressBar>("progress")),
      sectors_(Control<QLabel>("sectors")) {
  connect(Control<QPushButton>("cancelbtn"), &QPushButton::clicked, this,
          &CCreateImageProcessWnd::AskToCancel);
}

bool CCreateImageProcessWnd::OnProgress(const JobProgress& progress) {
  std::lock_guard<std::mutex> hold(lock_);
  if (cancelFlag_) return false;
  percent_ = progress.percent;
  sectorsDone_ = progress.sectorsDone;
  sectorsTotal_ = progress.sectorsTotal;
  secondsLeft_ = progress.secondsLeft;
  MarkChanged();
  return true;
}

namespace {

// The copy reads through the disk's node, which keeps naming the chosen
// disk while disk numbers shift as other disks come and go.
JobSource ImageSourceOf(const ImageJob& job) {
  JobSource source;
  source.diskPath = job.diskPath;
  source.listedDiskNumber =
      static_cast<uint32_t>(job.source ? job.source->diskNumber : job.diskNumber);
  if (job.source) {
    source.firstSector = static_cast<uint64_t>(job.source->start);
    source.sectorCount = static_cast<uint64_t>(job.source->length);
  }
  return source;
}

}  // namespace

void CCreateImageProcessWnd::Work() {
  const JobReport report = RunImageJob({ImageSourceOf(job_), job_.target, {}}, *this).report;
  result_ = report.error;
  EndWork(report.outcome == JobOutcome::kComplete    ? kClosedNormally
          : report.outcome == JobOutcome::kCancelled ? kClosedCancelled
                                                     : kClosedFailed);
}

void CCreateImageProcessWnd::ShowFigures() {
  stage_->setText(QStringLiteral("%1 %2").arg(Msg("MSG0302"), QString::fromStdString(job_.target)));
  percentText_->setText(QStringLiteral("%1 %2%").arg(Msg("MSG0301")).arg(percent_));
  progress_->setValue(percent_);
  int32_t secondsLeft = SecondsLeftAt(percent_, secondsLeft_);
  time_->setText(secondsLeft == -1
                     ? Msg("MSG0304")
                     : QStringLiteral("%1 %2").arg(
                           Msg("MSG0305"), QString::fromStdString(FormatDuration(secondsLeft))));
  sectors_->setText(
      QStringLiteral("%1 %2 / %3").arg(Msg("MSG0303")).arg(sectorsDone_).arg(sectorsTotal_));
}

}  // namespace salvora
