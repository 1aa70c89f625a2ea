#include "app/MediaPlayback.h"

#include "app/LanguageStore.h"
#include "app/MessageBox.h"
#include "platform/ChildProcess.h"
#include "previewclient/MediaPlayer.h"

namespace salvora {

MediaPlayback::MediaPlayback(QWidget* owner) : QObject(owner), owner_(owner) {}

MediaPlayback::~MediaPlayback() { Stop(); }

void MediaPlayback::UsePlayer(std::string program, std::vector<std::string> extraArgs) {
  program_ = std::move(program);
  extraArgs_ = std::move(extraArgs);
}

int MediaPlayback::PlayerPid() const { return player_ && player_->Running() ? player_->pid() : 0; }

void MediaPlayback::Stop() {
  stop_ = true;
  if (player_) player_->Stop();
  if (watcher_.joinable()) watcher_.join();
  player_.reset();
  stop_ = false;
}

void MediaPlayback::Play(const std::string& file, bool audio) {
  Stop();
  std::filesystem::path program = program_.empty() ? FindMediaPlayer() : std::filesystem::path(program_);
  if (program.empty()) {
    CMessageBox::Show(owner_, CMessageBox::kInformation,
                      LanguageStore::Instance().FormatIn("MainWnd", "NoPlayer",
                                                         {MediaPlayerPackage()}),
                      330, 160);
    return;
  }
  PlayerCommand command = BuildPlayerCommand(
      program, file, audio ? MediaKind::kAudio : MediaKind::kVideo, extraArgs_);
  player_ = std::make_unique<ChildProcess>();
  if (player_->Start(command.program, command.args) != 0) {
    player_.reset();
    emit Failed();
    CMessageBox::Show(owner_, CMessageBox::kInformation, Msg("MSG1207"), 330, 160);
    return;
  }
  watcher_ = std::thread([this, marker = command.playingMarker] { Watch(marker); });
}

void MediaPlayback::Watch(std::string marker) {
  PlaybackState state = AwaitPlayback(*player_, marker, &stop_);
  if (state == PlaybackState::kFailed) {
    QMetaObject::invokeMethod(this, [this] {
      emit Failed();
      CMessageBox::Show(owner_, CMessageBox::kInformation, Msg("MSG1207"), 330, 160);
    }, Qt::QueuedConnection);
    return;
  }
  if (state == PlaybackState::kPlaying) DrainPlayerOutput(*player_);
}

}  // namespace salvora
