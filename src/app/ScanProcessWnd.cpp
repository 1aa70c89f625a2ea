#include "app/ScanProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "app/LanguageStore.h"
#include "app/MessageBox.h"
#include "app/ItemJobs.h"
#include "jobs/ScanJob.h"
#include "platform/ErrorCodes.h"
#include "storage/FormatSize.h"

namespace salvora {

CScanProcessWnd::CScanProcessWnd(std::vector<DiskListItem*> sources, int scanMode, QWidget* owner)
    : ProgressWnd("ScanProcessWnd", QSize(350, 250), owner),
      sources_(std::move(sources)),
      scanMode_(scanMode),
      stage_(Control<QLabel>("stage")),
      percent_(Control<QLabel>("percent")),
      time_(Control<QLabel>("time")),
      progress_(Control<QProgressBar>("progress")),
      sectors_(Control<QLabel>("sectors")),
      totalfile_(Control<QLabel>("totalfile")) {
  connect(Control<QPushButton>("cancelbtn"), &QPushButton::clicked, this,
          &CScanProcessWnd::AskToCancel);
}

bool CScanProcessWnd::OnProgress(const JobProgress& progress) {
  std::lock_guard<std::mutex> hold(lock_);
  if (cancelFlag_) return false;
  Figures& f = figures_;
  if (progress.step == f.source && progress.percent == f.shown &&
      progress.secondsLeft == f.secondsLeft && progress.sectorsDone == f.sectorsDone &&
      progress.sectorsTotal == f.sectorsTotal && progress.filesFound == f.filesFound)
    return true;
  f = Figures{progress.step,        progress.percent,      progress.secondsLeft,
              progress.sectorsDone, progress.sectorsTotal, progress.filesFound};
  MarkChanged();
  return true;
}

bool CScanProcessWnd::KeepSavedScan() {
  int answer = AskFromWorker(CMessageBox::kQuestion, "MSG1206", 350, 160);
  return answer == CMessageBox::kOk || answer == kNoAnswer;
}

// A swap area or an encrypted volume on a disk must not keep the partitions
// after it from being scanned: such a source is noted as skipped, one whose
// scan met sectors the disk would not give as incomplete.
void CScanProcessWnd::NoteSource(const DiskListItem& source, const JobReport& report) {
  if (report.outcome == JobOutcome::kFailed && !source.engine) {
    failureText_ = report.message;
    skipped_.push_back({&source, failureText_});
    return;
  }
  lastScanResult_ = report.error;
  if (report.outcome == JobOutcome::kPartial || report.outcome == JobOutcome::kFailed) {
    incomplete_.push_back({&source, ErrorMessage(report.error), report.unreadAreas});
  }
}

void CScanProcessWnd::Work() {
  std::vector<ScanItem> items(sources_.size());
  for (size_t i = 0; i < sources_.size(); ++i) {
    items[i].source = JobSourceOf(*sources_[i]);
    items[i].engine = std::move(sources_[i]->engine);
  }
  ScanJobOptions options;
  options.deep = scanMode_ == kDeepScan;
  options.keepSavedScan = [this](size_t, const ScanPosition&) { return KeepSavedScan(); };
  JobReport report = RunScanJob(items, options, *this);
  for (size_t i = 0; i < items.size(); ++i) {
    DiskListItem& source = *sources_[i];
    source.engine = std::move(items[i].engine);
    if (!items[i].reached) continue;
    if (!items[i].runFolder.empty()) runFolders_.push_back(items[i].runFolder);
    NoteSource(source, items[i].report);
  }
  if (report.outcome == JobOutcome::kCancelled) lastScanResult_ = kCancelled;
  bool nothingScanned = !sources_.empty() && skipped_.size() == sources_.size();
  EndWork(nothingScanned ? kClosedFailed : kClosedNormally);
}

QString CScanProcessWnd::StageText(const DiskListItem& source) const {
  if (source.IsImage()) {
    std::string name = std::filesystem::path(source.imagePath).filename().string();
    return MsgFormat("MSG0703", {name});
  }
  return MsgFormat("MSG0702", {source.record->ordinal});
}

void CScanProcessWnd::ShowFigures() {
  const Figures& f = figures_;
  if (f.source < sources_.size()) stage_->setText(StageText(*sources_[f.source]));
  int32_t secondsLeft = SecondsLeftAt(f.shown, f.secondsLeft);
  time_->setText(secondsLeft == -1
                     ? Msg("MSG0705")
                     : QStringLiteral("%1 %2").arg(
                           Msg("MSG0708"), QString::fromStdString(FormatDuration(secondsLeft))));
  progress_->setValue(f.shown);
  percent_->setText(QStringLiteral("%1 %2%").arg(Msg("MSG0704")).arg(f.shown));
  bool counters = f.sectorsTotal != 0;
  sectors_->setVisible(counters);
  totalfile_->setVisible(counters);
  if (!counters) return;
  sectors_->setText(
      QStringLiteral("%1 %2 / %3").arg(Msg("MSG0706")).arg(f.sectorsDone).arg(f.sectorsTotal));
  totalfile_->setText(QStringLiteral("%1 %2").arg(Msg("MSG0707")).arg(f.filesFound));
}

}  // namespace salvora
