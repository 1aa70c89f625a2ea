#include "app/SearchProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "app/ItemJobs.h"
#include "app/LanguageStore.h"
#include "platform/ErrorCodes.h"

namespace salvora {

CSearchProcessWnd::CSearchProcessWnd(std::vector<DiskListItem*> sources, std::string filter,
                                     RecordArena& results, QWidget* owner,
                                     std::vector<std::string>* paths)
    : ProgressWnd("SearchProcessWnd", QSize(370, 220), owner),
      sources_(std::move(sources)),
      filter_(std::move(filter)),
      results_(results),
      paths_(paths),
      stage_(Control<QLabel>("stage")),
      percentText_(Control<QLabel>("percent")),
      progress_(Control<QProgressBar>("progress")) {
  connect(Control<QPushButton>("cancelbtn"), &QPushButton::clicked, this,
          &CSearchProcessWnd::AskToCancel);
}

bool CSearchProcessWnd::OnProgress(const JobProgress& progress) {
  std::lock_guard<std::mutex> hold(lock_);
  if (cancelFlag_) return false;
  if (progress.step != current_ || progress.percent != percent_) {
    current_ = progress.step;
    percent_ = progress.percent;
    MarkChanged();
  }
  return true;
}

void CSearchProcessWnd::Work() {
  Collection found;
  found.records = std::move(results_);
  if (paths_) found.paths = std::move(*paths_);
  RunCollectJob(CollectSourcesOf(sources_), {filter_, {}, paths_ != nullptr}, *this, found);
  results_ = std::move(found.records);
  if (paths_) *paths_ = std::move(found.paths);
  if (finishingStep_) finishingStep_();
  EndWork(kClosedNormally);
}

QString CSearchProcessWnd::StageText(const DiskListItem& source) const {
  if (source.IsImage())
    return MsgFormat("MSG1203", {std::filesystem::path(source.imagePath).filename().string()});
  return MsgFormat("MSG1202", {source.record->ordinal});
}

void CSearchProcessWnd::ShowFigures() {
  if (current_ < sources_.size()) stage_->setText(StageText(*sources_[current_]));
  percentText_->setText(QStringLiteral("%1 %2%").arg(Msg("MSG1204")).arg(percent_));
  progress_->setValue(percent_);
}

}  // namespace salvora
