#include "platform/ChildProcess.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "platform/ExecutableSearch.h"

namespace salvora {
namespace {

using namespace std::chrono_literals;

// Reads until `text` has appeared or the child's output has ended.
std::string ReadUntil(ChildProcess& child, const std::string& text) {
  std::string output;
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (output.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline)
    if (!child.ReadOutput(50ms, &output)) break;
  return output;
}

TEST(ChildProcessTest, OutputArrivesWhileTheChildRuns) {
  ChildProcess child;
  ASSERT_EQ(child.Start("/bin/sh", {"-c", "echo one; sleep 0.3; echo two >&2; sleep 60"}), 0);
  EXPECT_EQ(ReadUntil(child, "one"), "one\n");
  EXPECT_EQ(ReadUntil(child, "two"), "two\n");
  EXPECT_TRUE(child.Running());
  child.Stop();
  EXPECT_FALSE(child.Running());
}

TEST(ChildProcessTest, StopKillsAChildThatIgnoresThePoliteSignal) {
  ChildProcess child;
  ASSERT_EQ(child.Start("/bin/sh", {"-c", "trap '' TERM; echo ready; while :; do sleep 0.05; done"}), 0);
  ReadUntil(child, "ready");
  pid_t pid = child.pid();
  child.Stop();
  EXPECT_FALSE(child.Running());
  EXPECT_NE(kill(pid, 0), 0);
}

TEST(ChildProcessTest, StartingAgainEndsTheChildHeldBefore) {
  ChildProcess child;
  ASSERT_EQ(child.Start("/bin/sleep", {"60"}), 0);
  pid_t first = child.pid();
  ASSERT_EQ(child.Start("/bin/sleep", {"60"}), 0);
  EXPECT_NE(child.pid(), first);
  EXPECT_NE(kill(first, 0), 0);
}

TEST(ChildProcessTest, OutputEndsAndTheExitStatusIsKeptWhenTheChildExits) {
  ChildProcess child;
  ASSERT_EQ(child.Start("/bin/sh", {"-c", "echo bye; exit 4"}), 0);
  EXPECT_EQ(ReadUntil(child, "never"), "bye\n");
  while (child.Running()) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(child.exitCode(), 4);
}

TEST(ExecutableSearchTest, FindsProgramsOnPathAndTheRunningExecutable) {
  EXPECT_TRUE(IsExecutableFile(FindOnPath("sh")));
  EXPECT_TRUE(FindOnPath("salvora-no-such-program").empty());
  EXPECT_TRUE(FindOnPath("../sh").empty());
  EXPECT_TRUE(IsExecutableFile(RunningExecutableFolder() / "test_platform"));
}

TEST(ChildProcessTest, ChildEndsWhenTheThreadThatStartedItEnds) {
  // A player must not outlive the program: when its starter is gone (the
  // app killed or crashed), the kernel ends the player too.
  ChildProcess child;
  std::thread starter([&] { ASSERT_EQ(child.Start("/bin/sh", {"-c", "sleep 60"}), 0); });
  starter.join();
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (child.Running() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(child.Running());
}

}  // namespace
}  // namespace salvora
