#include "app/PreviewSession.h"

#include <QElapsedTimer>
#include <QTextBrowser>
#include <filesystem>
#include <future>

#include "app/LanguageStore.h"
#include "app/PreviewDisplay.h"
#include "app/RecordText.h"
#include "platform/DataFolders.h"

namespace salvora {
namespace {

// Previews are mostly quick; progress that flashes up for each would only
// distract.
constexpr int kProgressDelayMs = 400;
constexpr int kProgressRefreshMs = 100;

void RemoveFile(const std::string& path) {
  if (path.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

struct PreviewSession::Request {
  FoundRecord record;
  IFileRecoveryParse* engine;
  QPointer<QTextBrowser> view;
  QString pictureFailure;
  std::filesystem::path pictureOut;
  PreviewProgress progress;
  QElapsedTimer age;
};

PreviewSession::PreviewSession(QWidget* owner, BackgroundQueue& engineWorker)
    : QObject(owner), player_(owner), engineWorker_(engineWorker) {
  progressTimer_.setInterval(kProgressRefreshMs);
  connect(&progressTimer_, &QTimer::timeout, this, &PreviewSession::ShowProgress);
}

PreviewSession::~PreviewSession() {
  Stop();
  player_.Stop();
  // The worker is idle: what it kept for the player can go.
  worker_.Run([this] { RemoveFile(workerMedia_); });
  worker_.WaitIdle();
}

void PreviewSession::Cancel() {
  if (pending_ && pending_->view) ClearPreview(pending_->view);
  CancelPending();
}

void PreviewSession::Stop() {
  Cancel();
  worker_.WaitIdle();
}

void PreviewSession::CancelPending() {
  progressTimer_.stop();
  if (!pending_) return;
  pending_->progress.cancel = true;
  pending_.reset();
}

void PreviewSession::ShowIn(QTextBrowser* view, const FoundRecord& record,
                            IFileRecoveryParse* engine, const QString& pictureFailure) {
  // The view that waited for the cancelled preview shows nothing rather
  // than a progress that never ends.
  if (pending_ && pending_->view && pending_->view != view) ClearPreview(pending_->view);
  CancelPending();
  // The player may hold the copy the next preview would overwrite.
  player_.Stop();
  ClearPreview(view);
  if (record.isFolder) {
    ShowPreviewText(view, Msg("MSG0904"));
    emit Shown();
    return;
  }
  auto request = std::make_shared<Request>();
  request->record = record;
  request->engine = engine;
  request->view = view;
  request->pictureFailure = pictureFailure;
  std::filesystem::path folder = PreviewFolder();
  if (!folder.empty())
    request->pictureOut = folder / ("preview-" + std::to_string(++serial_) + ".png");
  request->age.start();
  pending_ = request;
  progressTimer_.start();
  worker_.Run([this, request] { Prepare(request); });
}

void PreviewSession::Prepare(const std::shared_ptr<Request>& request) {
  // Worker thread. The player was stopped when this preview was asked for.
  RemoveFile(workerMedia_);
  workerMedia_.clear();
  if (request->progress.cancel) return;
  PreparedPreview prepared;
  try {
    auto copy = std::make_shared<std::promise<CopiedPreview>>();
    std::future<CopiedPreview> copied = copy->get_future();
    engineWorker_.Run([copy, request] {
      try {
        copy->set_value(CopyForPreview(request->record, request->engine, request->progress));
      } catch (...) {
        copy->set_exception(std::current_exception());
      }
    });
    // A copy the engine worker drops unrun breaks its promise: no preview.
    prepared =
        ConvertPreview(request->record, copied.get(), request->progress, request->pictureOut);
  } catch (...) {
    // An engine that throws (out of memory on a hostile volume) fails this
    // preview, not the program holding the user's results.
    prepared.result = {};
  }
  workerMedia_ = prepared.extracted;
  // A preview asked for since is shown instead; this one never is.
  if (request->progress.cancel) {
    RemoveFile(prepared.result.file);
    return;
  }
  worker_.Post([this, request, prepared] { Deliver(request, prepared); });
}

void PreviewSession::Deliver(const std::shared_ptr<Request>& request,
                             const PreparedPreview& prepared) {
  const PreviewResult& result = prepared.result;
  bool media =
      result.kind == PreviewResult::Kind::kAudio || result.kind == PreviewResult::Kind::kVideo;
  if (request != pending_) {
    if (!media) RemoveFile(result.file);
    return;
  }
  pending_.reset();
  progressTimer_.stop();
  if (media) {
    if (request->view) ClearPreview(request->view);
    player_.Play(result.file, result.kind == PreviewResult::Kind::kAudio);
  } else if (request->view) {
    ShowPreview(request->view, result, request->pictureFailure);
  }
  // The view holds the picture now.
  if (!media) RemoveFile(result.file);
  emit Shown();
}

void PreviewSession::ShowProgress() {
  if (!pending_ || !pending_->view || pending_->age.elapsed() < kProgressDelayMs) return;
  QString name = RecordName(pending_->record);
  ShowPreviewText(pending_->view, QStringLiteral("%1 %2\n%3 %4%")
                                      .arg(Msg("MSG0902"), name, Msg("MSG0901"))
                                      .arg(pending_->progress.percent.load()));
}

}  // namespace salvora
