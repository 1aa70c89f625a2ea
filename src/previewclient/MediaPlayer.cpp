#include "previewclient/MediaPlayer.h"

#include <thread>

#include "platform/ExecutableSearch.h"

namespace salvora {
namespace {

constexpr std::chrono::milliseconds kOutputPoll{5};
// Output may still arrive in the pipe after the player exited; it is read
// this many more polls before the player counts as failed.
constexpr int kPollsAfterExit = 100;

// mpv prints this line once when playback starts; every other message is
// silenced, so nothing else (a file name, a codec warning) can carry a
// percent sign or fill the pipe.
constexpr const char* kMpvPlayingLine = "--term-playing-msg=Playing ${percent-pos}%";

bool IsFfplay(const std::filesystem::path& player) { return player.filename() == "ffplay"; }

}  // namespace

std::filesystem::path FindMediaPlayer() {
  std::filesystem::path mpv = FindOnPath("mpv");
  return mpv.empty() ? FindOnPath("ffplay") : mpv;
}

std::string MediaPlayerPackage() { return "mpv"; }

PlayerCommand BuildPlayerCommand(const std::filesystem::path& player, const std::filesystem::path& file,
                                 MediaKind kind, const std::vector<std::string>& extraArgs) {
  PlayerCommand command;
  command.program = player.string();
  bool video = kind == MediaKind::kVideo;
  if (IsFfplay(player)) {
    // ffplay shows no percentage; it prints the stream's duration once the
    // file has opened, and nothing of that kind when it cannot.
    command.args = {"-hide_banner", "-nostats", "-autoexit", "-loglevel", "info"};
    if (video) {
      command.args.insert(command.args.end(), {"-x", "326", "-y", "189", "-left", "845", "-top", "260"});
    } else {
      command.args.push_back("-nodisp");
    }
    command.playingMarker = "Duration:";
  } else {
    command.args = {"--no-config", "--msg-level=all=no,term-msg=info", kMpvPlayingLine, "--keep-open=no"};
    if (video) {
      command.args.insert(command.args.end(), {"--geometry=326x189+845+260", "--force-window=yes"});
    } else {
      command.args.insert(command.args.end(), {"--no-video", "--force-window=no"});
    }
    command.playingMarker = "%";
  }
  command.args.insert(command.args.end(), extraArgs.begin(), extraArgs.end());
  // "--" keeps a file name that starts with a dash from reading as an option.
  if (!IsFfplay(player)) command.args.push_back("--");
  command.args.push_back(file.string());
  return command;
}

PlaybackState AwaitPlayback(ChildProcess& player, const std::string& marker, const std::atomic<bool>* stop) {
  std::string output;
  int pollsAfterExit = 0;
  for (;;) {
    if (stop && stop->load()) return PlaybackState::kStopped;
    // Only the tail that may hold the start of a split marker is kept.
    if (output.size() > marker.size()) output.erase(0, output.size() - marker.size());
    bool open = player.ReadOutput(kOutputPoll, &output);
    if (output.find(marker) != std::string::npos) return PlaybackState::kPlaying;
    if (player.Running()) {
      if (!open) std::this_thread::sleep_for(kOutputPoll);
      continue;
    }
    // Once the pipes have ended everything the player wrote has been read.
    if (!open || ++pollsAfterExit > kPollsAfterExit) return PlaybackState::kFailed;
  }
}

void DrainPlayerOutput(ChildProcess& player) {
  std::string ignored;
  while (player.ReadOutput(std::chrono::milliseconds(200), &ignored)) ignored.clear();
}

}  // namespace salvora
