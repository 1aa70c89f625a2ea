#pragma once
// The external players that preview audio and video: mpv, else ffplay.
// A player counts as playing once its output shows its playing marker; a
// player that ends without it has failed (the app then says the file cannot
// be played).
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"

namespace salvora {

enum class MediaKind { kVideo, kAudio };

struct PlayerCommand {
  std::string program;
  std::vector<std::string> args;
  // Text whose appearance in the player's output means it is playing.
  std::string playingMarker;
};

// The installed player's program: mpv, else ffplay; empty when neither is.
std::filesystem::path FindMediaPlayer();

// The Debian package to install when FindMediaPlayer finds nothing.
std::string MediaPlayerPackage();

// The command that plays `file` with `player` (mpv or ffplay, told apart by
// the program's name): video in a small window at a fixed place, audio
// without one. `extraArgs` go before the file (tests pass null outputs).
PlayerCommand BuildPlayerCommand(const std::filesystem::path& player, const std::filesystem::path& file,
                                 MediaKind kind, const std::vector<std::string>& extraArgs = {});

enum class PlaybackState { kPlaying, kFailed, kStopped };

// Reads the started player's output until the marker appears (kPlaying) or
// the player has ended without it (kFailed); `stop` set from another thread
// gives kStopped. After kPlaying the caller should go on with
// DrainPlayerOutput so that the player never blocks on a full pipe.
PlaybackState AwaitPlayback(ChildProcess& player, const std::string& marker,
                            const std::atomic<bool>* stop = nullptr);

// Reads and drops the player's output until it ends (or is stopped).
void DrainPlayerOutput(ChildProcess& player);

}  // namespace salvora
