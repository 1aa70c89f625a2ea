#include "app/ScanProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "app/LanguageStore.h"
#include "app/MessageBox.h"
#include "deep/ProfessionalRecovery.h"
#include "platform/ErrorCodes.h"
#include "results/ScanHistory.h"
#include "storage/EngineSelection.h"
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

int CScanProcessWnd::OnScan(void* window, int32_t percent, int32_t scale, int32_t secondsLeft,
                            uint64_t sectorsDone, uint64_t sectorsTotal, uint64_t filesFound,
                            int32_t) {
  auto* self = static_cast<CScanProcessWnd*>(window);
  std::lock_guard<std::mutex> hold(self->lock_);
  if (self->cancelFlag_) return kCancelled;
  Figures& f = self->figures_;
  int32_t shown = static_cast<int32_t>(int64_t{percent} * scale / 100);
  if (shown == f.shown && secondsLeft == f.secondsLeft && sectorsDone == f.sectorsDone &&
      sectorsTotal == f.sectorsTotal && filesFound == f.filesFound)
    return 0;
  f.shown = shown;
  f.secondsLeft = secondsLeft;
  f.sectorsDone = sectorsDone;
  f.sectorsTotal = sectorsTotal;
  f.filesFound = filesFound;
  self->MarkChanged();
  return 0;
}

bool CScanProcessWnd::CreateEngine(DiskListItem& source) {
  bool deep = scanMode_ == kDeepScan;
  SelectionResult selection =
      source.IsImage()
          ? CreateImageEngine(source.imagePath, source.key, deep)
          : CreateDiskEngine(static_cast<uint32_t>(source.record->diskNumber),
                             static_cast<uint64_t>(source.record->start),
                             static_cast<uint64_t>(source.record->length), source.key, deep);
  if (!selection.engine) {
    failureText_ = selection.message;
    return false;
  }
  source.engine = std::move(selection.engine);
  return true;
}

void CScanProcessWnd::OfferResume(IFileRecoveryParse& engine) {
  auto* deep = dynamic_cast<CProfessionalRecovery*>(&engine);
  if (!deep || !deep->ResumesSavedScan()) return;
  int answer = AskFromWorker(CMessageBox::kQuestion, "MSG1206", 350, 160);
  if (answer != CMessageBox::kOk && answer != kNoAnswer) deep->DiscardSavedScan();
}

void CScanProcessWnd::Work() {
  for (size_t index = 0; index < sources_.size(); ++index) {
    DiskListItem& source = *sources_[index];
    {
      std::lock_guard<std::mutex> hold(lock_);
      figures_ = Figures{index};
      MarkChanged();
    }
    source.engine.reset();
    // A swap area or an encrypted volume on a disk must not keep the
    // partitions after it from being scanned.
    if (!CreateEngine(source)) {
      skipped_.push_back({&source, failureText_});
      continue;
    }
    if (scanMode_ == kQuickScan) {
      runFolders_.push_back(ScanHistory::Instance().NewRunFolder());
    } else {
      OfferResume(*source.engine);
    }
    if (CancelRequested()) {
      lastScanResult_ = kCancelled;
      break;
    }
    source.engine->SetCallbacks(&CScanProcessWnd::OnScan, nullptr, this, 100);
    lastScanResult_ = source.engine->Scan(nullptr);
    if (lastScanResult_ == kCancelled) break;
    if (lastScanResult_ != kOk) incomplete_.push_back({&source, ErrorMessage(lastScanResult_)});
  }
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
