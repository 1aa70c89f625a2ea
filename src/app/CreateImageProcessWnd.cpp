#include "app/CreateImageProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/LanguageStore.h"
#include "imaging/ImageCopier.h"
#include "platform/BlockDevices.h"
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

int CCreateImageProcessWnd::OnProgress(void* window, int32_t percent, uint64_t sectorsDone,
                                       uint64_t sectorsTotal, int32_t secondsLeft) {
  auto* self = static_cast<CCreateImageProcessWnd*>(window);
  std::lock_guard<std::mutex> hold(self->lock_);
  if (self->cancelFlag_) return kCancelled;
  self->percent_ = percent;
  self->sectorsDone_ = sectorsDone;
  self->sectorsTotal_ = sectorsTotal;
  self->secondsLeft_ = secondsLeft;
  self->MarkChanged();
  return 0;
}

namespace {

// The number the chosen disk has now; false when its node is gone.
bool CurrentDiskNumber(const ImageJob& job, uint32_t listed, uint32_t& current) {
  current = listed;
  if (job.diskPath.rfind("/dev/", 0) != 0) return true;
  return DiskNumberOfNode(job.diskPath, current);
}

}  // namespace

void CCreateImageProcessWnd::Work() {
  ImageCopier copier(&CCreateImageProcessWnd::OnProgress, this);
  uint32_t listed = static_cast<uint32_t>(job_.source ? job_.source->diskNumber : job_.diskNumber);
  uint32_t disk = listed;
  if (!CurrentDiskNumber(job_, listed, disk)) {
    result_ = kFileNotFound;
  } else if (job_.source) {
    result_ = copier.Run(disk, static_cast<uint64_t>(job_.source->start),
                         static_cast<uint64_t>(job_.source->length), job_.target);
  } else {
    result_ = copier.Run(disk, 0, 0, job_.target);
  }
  EndWork(result_ == kOk          ? kClosedNormally
          : result_ == kCancelled ? kClosedCancelled
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
