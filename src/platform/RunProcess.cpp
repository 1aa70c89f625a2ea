#include "platform/RunProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorCodes.h"
#include "platform/ProcessSpawn.h"

namespace salvora {
namespace {

using Clock = std::chrono::steady_clock;

// How often the cancel flag and the child's state are looked at while its
// pipes stay quiet.
constexpr std::chrono::milliseconds kPollInterval{20};

class RunningChild {
 public:
  RunningChild(const SpawnedProcess& spawned, size_t limit)
      : spawned_(spawned), out_(limit), err_(limit) {}
  ~RunningChild() {
    close(spawned_.stdoutFd);
    close(spawned_.stderrFd);
  }

  // Waits up to `wait` for output and reads it.
  void Collect(std::chrono::milliseconds wait) {
    pollfd fds[2];
    int count = 0;
    if (outOpen_) fds[count++] = {spawned_.stdoutFd, POLLIN, 0};
    if (errOpen_) fds[count++] = {spawned_.stderrFd, POLLIN, 0};
    if (count == 0) {
      usleep(static_cast<useconds_t>(wait.count() * 1000));
      return;
    }
    if (poll(fds, count, static_cast<int>(wait.count())) < 0 && errno != EINTR) return;
    Drain();
  }

  void Drain() {
    if (outOpen_) outOpen_ = ReadAvailable(spawned_.stdoutFd, &out_);
    if (errOpen_) errOpen_ = ReadAvailable(spawned_.stderrFd, &err_);
  }

  // Reaps the child when it has ended; true once reaped.
  bool Reaped(int* status) {
    pid_t got = waitpid(spawned_.pid, status, WNOHANG);
    return got == spawned_.pid || (got < 0 && errno == ECHILD);
  }

  void Kill(int* status) {
    SignalSpawned(spawned_, SIGKILL);
    while (waitpid(spawned_.pid, status, 0) < 0 && errno == EINTR) {
    }
  }

  void MoveOutputTo(ProcessResult* result) {
    result->out = std::move(out_.text);
    result->err = std::move(err_.text);
    result->outTruncated = out_.truncated;
    result->errTruncated = err_.truncated;
  }

 private:
  SpawnedProcess spawned_;
  BoundedOutput out_;
  BoundedOutput err_;
  bool outOpen_ = true;
  bool errOpen_ = true;
};

void RecordStatus(int status, ProcessResult* result) {
  if (WIFEXITED(status)) {
    result->end = ProcessEnd::kExited;
    result->exitCode = WEXITSTATUS(status);
  } else {
    result->end = ProcessEnd::kSignalled;
    result->termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
}

}  // namespace

ProcessResult RunProcess(const ProcessRequest& request) {
  ProcessResult result;
  SpawnedProcess spawned;
  SpawnLimits limits{request.addressSpaceBytes, request.ownProcessGroup};
  result.startError = SpawnProcess(request.program, request.args, limits, &spawned);
  if (result.startError != kOk) return result;

  RunningChild child(spawned, request.outputLimit);
  const Clock::time_point deadline = Clock::now() + request.timeLimit;
  int status = 0;
  for (;;) {
    child.Collect(kPollInterval);
    if (child.Reaped(&status)) {
      // What the child wrote just before it ended is still in the pipes.
      child.Drain();
      RecordStatus(status, &result);
      break;
    }
    bool cancelled = request.cancel && request.cancel->load();
    bool timedOut = request.timeLimit.count() > 0 && Clock::now() >= deadline;
    if (cancelled || timedOut) {
      child.Kill(&status);
      result.end = cancelled ? ProcessEnd::kCancelled : ProcessEnd::kTimedOut;
      break;
    }
  }
  child.MoveOutputTo(&result);
  return result;
}

std::string DescribeProcessEnd(const ProcessResult& result, const ProcessRequest& request) {
  switch (result.end) {
    case ProcessEnd::kExited:
      return "exit status " + std::to_string(result.exitCode);
    case ProcessEnd::kSignalled:
      return "killed by signal " + std::to_string(result.termSignal);
    case ProcessEnd::kTimedOut:
      return "timed out after " +
             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(request.timeLimit).count()) + " s";
    case ProcessEnd::kCancelled:
      return "cancelled";
    case ProcessEnd::kNotStarted:
      break;
  }
  return request.program + " could not be started: " + ErrorMessage(result.startError);
}

}  // namespace salvora
