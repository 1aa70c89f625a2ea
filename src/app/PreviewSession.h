#pragma once
// The previews of one window's life: each prepares a found file through its
// engine, removes what the previous preview extracted, and sends audio and
// video to the player.
#include <QObject>
#include <string>

#include "app/MediaPlayback.h"
#include "app/PreviewProcessWnd.h"

class QTextBrowser;

namespace salvora {

class PreviewSession : public QObject {
  Q_OBJECT

 public:
  explicit PreviewSession(QWidget* owner);
  ~PreviewSession() override;

  // Prepares `record` (the progress window shows when it takes a while).
  // Media play at once; anything else comes back to be shown.
  PreviewResult Prepare(const FoundRecord& record, IFileRecoveryParse* engine);
  // Prepares and shows `record` in `view`; a folder shows what checking it
  // does. `pictureFailure` is the text for a picture that cannot be shown.
  void ShowIn(QTextBrowser* view, const FoundRecord& record, IFileRecoveryParse* engine,
              const QString& pictureFailure);

  MediaPlayback& Player() { return player_; }

 private:
  void RemoveExtracted();

  QWidget* owner_;
  MediaPlayback player_;
  std::string extracted_;
};

}  // namespace salvora
