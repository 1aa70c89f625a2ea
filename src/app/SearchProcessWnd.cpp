#include "app/SearchProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "app/LanguageStore.h"
#include "platform/ErrorCodes.h"

namespace salvora {

CSearchProcessWnd::CSearchProcessWnd(std::vector<DiskListItem*> sources, std::string filter,
                                     std::vector<FoundRecord>& results, QWidget* owner,
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

int CSearchProcessWnd::OnList(void* window, int32_t percent, int32_t) {
  auto* self = static_cast<CSearchProcessWnd*>(window);
  return self->StorePercent(percent, self->percent_);
}

void CSearchProcessWnd::Work() {
  for (size_t index = 0; index < sources_.size(); ++index) {
    DiskListItem& source = *sources_[index];
    if (!source.engine) break;
    {
      std::lock_guard<std::mutex> hold(lock_);
      current_ = index;
      percent_ = 0;
      MarkChanged();
    }
    size_t first = results_.size();
    source.engine->SetListCallback(&CSearchProcessWnd::OnList, this);
    int result = source.engine->ListByType(filter_, results_);
    // A resumed deep scan's records carry the tag of the session that found
    // them; the recovery finds their engine by this session's tag.
    for (size_t i = first; i < results_.size(); ++i) results_[i].sourceTag = source.key;
    if (result == kCancelled) break;
    if (paths_ && !ListPaths(*source.engine, first)) break;
  }
  if (paths_) paths_->resize(results_.size());
  if (finishingStep_) finishingStep_();
  EndWork(kClosedNormally);
}

bool CSearchProcessWnd::ListPaths(IFileRecoveryParse& engine, size_t first) {
  paths_->resize(first);
  for (size_t i = first; i < results_.size(); ++i) {
    std::string path;
    engine.GetRecordPath(results_[i], path);
    paths_->push_back(std::move(path));
    if ((i & 0xFFF) == 0 && CancelRequested()) return false;
  }
  return true;
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
