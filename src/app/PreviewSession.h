#pragma once
// The previews of one window's life. A preview is prepared on a worker and
// shown when it arrives, so the window never waits for one: a new request
// cancels the one being prepared, and only the newest is ever shown. Audio
// and video go to the player; the preview's copies are removed once shown.
// The copy out of the engine waits its turn on the worker that reads the
// engines for the folder view, so that no engine is read by two threads at
// once; the helper's conversion runs on the session's own worker.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

#include "app/BackgroundQueue.h"
#include "app/MediaPlayback.h"
#include "app/PreviewPreparation.h"

class QTextBrowser;

namespace salvora {

class PreviewSession : public QObject {
  Q_OBJECT

 public:
  PreviewSession(QWidget* owner, BackgroundQueue& engineWorker);
  ~PreviewSession() override;

  // Shows `record` in `view` once it is prepared, and returns at once; a
  // folder shows what checking it does. `pictureFailure` is the text for a
  // picture that cannot be shown.
  void ShowIn(QTextBrowser* view, const FoundRecord& record, IFileRecoveryParse* engine,
              const QString& pictureFailure);
  // Cancels the preview being prepared, whose box then shows nothing.
  void Cancel();
  // Cancels it and waits until the worker has let go of its engine, before
  // engines are replaced or used for other work.
  void Stop();
  // Whether a preview is being prepared or waits to be shown.
  bool Busy() const { return pending_ != nullptr; }

  MediaPlayback& Player() { return player_; }

 signals:
  // The newest preview has been shown (or came to nothing).
  void Shown();

 private:
  struct Request;
  void CancelPending();
  void Prepare(const std::shared_ptr<Request>& request);
  void Deliver(const std::shared_ptr<Request>& request, const PreparedPreview& prepared);
  void ShowProgress();

  MediaPlayback player_;
  BackgroundQueue& engineWorker_;
  // One preview at a time, the engine's copy and the conversion in turn:
  // engines reuse the names of their copies.
  BackgroundQueue worker_;
  std::shared_ptr<Request> pending_;
  uint64_t serial_ = 0;
  // The media copy the last preview kept for the player; only the worker
  // touches it, and removes it before the next copy, whose name the engine
  // may reuse.
  std::string workerMedia_;
  QTimer progressTimer_;
};

}  // namespace salvora
