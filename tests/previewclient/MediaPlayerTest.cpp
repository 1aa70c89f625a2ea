#include "previewclient/MediaPlayer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "platform/ExecutableSearch.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// Tests play with null outputs: no window, no sound card.
const std::vector<std::string> kNullOutputs = {"--vo=null", "--ao=null"};

std::string FakePlayer(const test::TempDir& dir, const std::string& script) {
  std::string path = dir / "player";
  test::WriteFile(path, "#!/bin/sh\n" + script + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

PlaybackState Play(const PlayerCommand& command) {
  ChildProcess player;
  if (player.Start(command.program, command.args) != 0) return PlaybackState::kFailed;
  PlaybackState state = AwaitPlayback(player, command.playingMarker);
  player.Stop();
  return state;
}

bool Has(const std::vector<std::string>& args, const std::string& arg) {
  return std::find(args.begin(), args.end(), arg) != args.end();
}

TEST(MediaPlayerTest, MpvCommandPlacesASmallWindowAndPrintsAPercentSignOnceItPlays) {
  PlayerCommand video = BuildPlayerCommand("/usr/bin/mpv", "/tmp/-clip.avi", MediaKind::kVideo);
  EXPECT_TRUE(Has(video.args, "--geometry=326x189+845+260"));
  EXPECT_EQ(video.playingMarker, "%");
  ASSERT_GE(video.args.size(), 2u);
  // The file comes last, after "--", so a leading dash is not an option.
  EXPECT_EQ(video.args[video.args.size() - 2], "--");
  EXPECT_EQ(video.args.back(), "/tmp/-clip.avi");
  PlayerCommand audio = BuildPlayerCommand("/usr/bin/mpv", "/tmp/a.mp3", MediaKind::kAudio);
  EXPECT_TRUE(Has(audio.args, "--no-video"));
  PlayerCommand ffplay = BuildPlayerCommand("/usr/bin/ffplay", "/tmp/a.mp3", MediaKind::kAudio);
  EXPECT_TRUE(Has(ffplay.args, "-nodisp"));
  EXPECT_EQ(ffplay.playingMarker, "Duration:");
  EXPECT_EQ(MediaPlayerPackage(), "mpv");
}

TEST(MediaPlayerTest, RealMpvPlaysAShortVideoAndFailsOnGarbage) {
  std::filesystem::path mpv = FindOnPath("mpv");
  if (mpv.empty() || !test::HaveCommand("ffmpeg")) GTEST_SKIP() << "mpv or ffmpeg is not installed";
  test::TempDir dir;
  test::MustRun("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i sine=f=440 -t 2 "
                "-shortest " + test::Quote(dir / "clip.mp4"));
  EXPECT_EQ(Play(BuildPlayerCommand(mpv, dir / "clip.mp4", MediaKind::kVideo, kNullOutputs)),
            PlaybackState::kPlaying);
  test::WriteFile(dir / "noise.avi", test::PseudoRandomBytes(4096, 7));
  EXPECT_EQ(Play(BuildPlayerCommand(mpv, dir / "noise.avi", MediaKind::kVideo, kNullOutputs)),
            PlaybackState::kFailed);
}

TEST(MediaPlayerTest, PlayerThatEndsWithoutAPercentSignHasFailed) {
  test::TempDir dir;
  PlayerCommand command{FakePlayer(dir, "echo 'Playing: file'; echo 'no progress' >&2; exit 0"), {}, "%"};
  EXPECT_EQ(Play(command), PlaybackState::kFailed);
}

TEST(MediaPlayerTest, PercentSignAfterAPauseOrAcrossTwoWritesMeansPlaying) {
  test::TempDir dir;
  PlayerCommand late{FakePlayer(dir, "sleep 0.3; printf 'AV: 00:01 (1'; sleep 0.1; echo '0%)'; sleep 60"), {}, "%)"};
  EXPECT_EQ(Play(late), PlaybackState::kPlaying);
}

TEST(MediaPlayerTest, PlayerThatGoesOnTalkingAfterItStartedIsNotBlockedByAFullPipe) {
  test::TempDir dir;
  // Far more than a pipe holds; without draining, the player would block.
  PlayerCommand chatty{FakePlayer(dir, "echo '0%'; head -c 4000000 /dev/zero; exit 7"), {}, "%"};
  ChildProcess player;
  ASSERT_EQ(player.Start(chatty.program, chatty.args), 0);
  ASSERT_EQ(AwaitPlayback(player, chatty.playingMarker), PlaybackState::kPlaying);
  DrainPlayerOutput(player);
  while (player.Running()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(player.exitCode(), 7);
}

TEST(MediaPlayerTest, StopFlagEndsTheWaitForAPlayerThatSaysNothing) {
  test::TempDir dir;
  ChildProcess player;
  ASSERT_EQ(player.Start(FakePlayer(dir, "sleep 60"), {}), 0);
  std::atomic<bool> stop{true};
  EXPECT_EQ(AwaitPlayback(player, "%", &stop), PlaybackState::kStopped);
}

}  // namespace
}  // namespace salvora
