#include "app/PreviewSession.h"

#include <QTextBrowser>
#include <filesystem>

#include "app/LanguageStore.h"
#include "app/PreviewDisplay.h"

namespace salvora {
namespace {

// Previews are mostly quick; a window that flashes up for each would only
// distract.
constexpr int kPreviewWindowDelayMs = 400;

}  // namespace

PreviewSession::PreviewSession(QWidget* owner) : QObject(owner), owner_(owner), player_(owner) {}

PreviewSession::~PreviewSession() {
  player_.Stop();
  RemoveExtracted();
}

void PreviewSession::RemoveExtracted() {
  if (extracted_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(extracted_, ignored);
  extracted_.clear();
}

PreviewResult PreviewSession::Prepare(const FoundRecord& record, IFileRecoveryParse* engine) {
  // The player may still hold the file the last preview extracted.
  player_.Stop();
  RemoveExtracted();
  CPreviewProcessWnd window(record, engine, owner_);
  window.SetShowDelay(kPreviewWindowDelayMs);
  int code = window.Run();
  extracted_ = window.ExtractedFile();
  if (code != ProgressWnd::kClosedNormally) return {};
  PreviewResult result = window.Result();
  if (result.kind == PreviewResult::Kind::kAudio || result.kind == PreviewResult::Kind::kVideo)
    player_.Play(result.file, result.kind == PreviewResult::Kind::kAudio);
  else
    RemoveExtracted();  // converted already; a copy of a found file lingers nowhere
  return result;
}

void PreviewSession::ShowIn(QTextBrowser* view, const FoundRecord& record,
                            IFileRecoveryParse* engine, const QString& pictureFailure) {
  ClearPreview(view);
  if (record.isFolder) {
    ShowPreviewText(view, Msg("MSG0904"));
    return;
  }
  PreviewResult result = Prepare(record, engine);
  ShowPreview(view, result, pictureFailure);
  // The view holds the picture now.
  std::error_code ignored;
  if (result.kind == PreviewResult::Kind::kPicture) std::filesystem::remove(result.file, ignored);
}

}  // namespace salvora
