#include "platform/RunProcess.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

ProcessRequest Shell(const std::string& script, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  ProcessRequest request;
  request.program = "/bin/sh";
  request.args = {"-c", script};
  request.timeLimit = limit;
  return request;
}

// A killed grandchild may stay a zombie until whoever adopted it reaps it;
// only a process that still runs counts.
bool ProcessRuns(pid_t pid) {
  std::string stat = test::ReadFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

TEST(RunProcessTest, KeepsStdoutAndStderrApartAndReportsTheExitStatus) {
  ProcessResult result = RunProcess(Shell("echo out; echo err >&2; exit 3"));
  EXPECT_TRUE(result.ExitedWith(3));
  EXPECT_EQ(result.out, "out\n");
  EXPECT_EQ(result.err, "err\n");
}

TEST(RunProcessTest, OutputBeyondTheLimitIsDroppedWithoutBlockingTheChild) {
  ProcessRequest request = Shell("head -c 3000000 /dev/zero; echo done >&2");
  request.outputLimit = 1000;
  ProcessResult result = RunProcess(request);
  EXPECT_TRUE(result.ExitedWith(0));
  EXPECT_EQ(result.out.size(), 1000u);
  EXPECT_TRUE(result.outTruncated);
  EXPECT_EQ(result.err, "done\n");
}

TEST(RunProcessTest, TimeLimitKillsTheChildAndEverythingItStarted) {
  // The grandchild keeps the pipes open; it must die with its parent.
  ProcessRequest request = Shell("sleep 60 & echo $!; wait", std::chrono::milliseconds(500));
  auto started = std::chrono::steady_clock::now();
  ProcessResult result = RunProcess(request);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(result.end, ProcessEnd::kTimedOut);
  pid_t grandchild = std::stoi(result.out);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(ProcessRuns(grandchild));
  EXPECT_EQ(DescribeProcessEnd(result, request), "timed out after 0 s");
}

TEST(RunProcessTest, CancelFlagEndsTheChild) {
  std::atomic<bool> cancel{false};
  ProcessRequest request = Shell("sleep 60");
  request.cancel = &cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancel = true;
  });
  ProcessResult result = RunProcess(request);
  canceller.join();
  EXPECT_EQ(result.end, ProcessEnd::kCancelled);
}

TEST(RunProcessTest, CrashIsReportedAsItsSignal) {
  ProcessResult result = RunProcess(Shell("kill -SEGV $$"));
  EXPECT_EQ(result.end, ProcessEnd::kSignalled);
  EXPECT_EQ(result.termSignal, SIGSEGV);
}

TEST(RunProcessTest, AddressSpaceLimitAppliesToTheChild) {
  ProcessRequest request = Shell("ulimit -v");
  request.addressSpaceBytes = uint64_t{1} << 30;
  ProcessResult result = RunProcess(request);
  EXPECT_TRUE(result.ExitedWith(0));
  EXPECT_EQ(result.out, "1048576\n");  // KiB
}

TEST(RunProcessTest, MissingProgramIsAStartErrorNotAnExitStatus) {
  ProcessRequest request;
  request.program = "/nonexistent/program";
  ProcessResult result = RunProcess(request);
  EXPECT_EQ(result.end, ProcessEnd::kNotStarted);
  EXPECT_EQ(result.startError, kFileNotFound);
  EXPECT_NE(DescribeProcessEnd(result, request).find("could not be started"), std::string::npos);
}

}  // namespace
}  // namespace salvora
