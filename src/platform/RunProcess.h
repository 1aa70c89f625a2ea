#pragma once
// Running a program to completion under a time limit, with its output
// captured. Used for the preview helper and, inside the helper, for the
// legacy office converters: none of them may hang or swamp the caller.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

struct ProcessRequest {
  std::string program;
  std::vector<std::string> args;
  // Wall-clock limit; the process group is killed when it runs out. Zero
  // means no limit.
  std::chrono::milliseconds timeLimit{0};
  // RLIMIT_AS of the child; 0 keeps the inherited limit.
  uint64_t addressSpaceBytes = 0;
  // Bytes kept of stdout and of stderr each; the rest is read and dropped.
  size_t outputLimit = 1 << 20;
  // See SpawnLimits::ownProcessGroup.
  bool ownProcessGroup = true;
  // When set and it becomes true, the process group is killed.
  const std::atomic<bool>* cancel = nullptr;
};

enum class ProcessEnd {
  kExited,      // exitCode holds the status
  kSignalled,   // termSignal holds the signal (a crash, or the address-space limit)
  kTimedOut,    // killed after the time limit
  kCancelled,   // killed on request
  kNotStarted,  // startError holds the result code
};

struct ProcessResult {
  ProcessEnd end = ProcessEnd::kNotStarted;
  int exitCode = -1;
  int termSignal = 0;
  int startError = 0;
  std::string out;
  std::string err;
  bool outTruncated = false;
  bool errTruncated = false;

  bool ExitedWith(int code) const { return end == ProcessEnd::kExited && exitCode == code; }
};

// Starts the program, collects its output until it exits or a limit ends
// it, and reaps it. Never returns while the child still runs.
ProcessResult RunProcess(const ProcessRequest& request);

// One line for a log or a message: how the run ended ("exit status 1",
// "killed by signal 11", "timed out after 10 s" ...).
std::string DescribeProcessEnd(const ProcessResult& result, const ProcessRequest& request);

}  // namespace salvora
