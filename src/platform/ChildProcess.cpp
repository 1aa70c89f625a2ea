#include "platform/ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// How long a child may take to end after SIGTERM before it is killed.
constexpr std::chrono::milliseconds kStopGrace{500};
constexpr std::chrono::milliseconds kStopCheck{10};

}  // namespace

ChildProcess::~ChildProcess() {
  Stop();
  CloseOutput();
}

int ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                        const SpawnLimits& limits) {
  Stop();
  CloseOutput();
  SpawnedProcess spawned;
  int result = SpawnProcess(program, args, limits, &spawned);
  if (result != kOk) return result;
  std::lock_guard lock(mutex_);
  spawned_ = spawned;
  reaped_ = false;
  status_ = 0;
  outOpen_ = errOpen_ = true;
  return kOk;
}

bool ChildProcess::ReadOutput(std::chrono::milliseconds wait, std::string* sink, size_t limit) {
  // The descriptors stay valid until Start or the destructor, which never run
  // while another thread reads, so polling happens without the lock and Stop
  // is not held up by it.
  pollfd fds[2];
  int count = 0;
  if (outOpen_) fds[count++] = {spawned_.stdoutFd, POLLIN, 0};
  if (errOpen_) fds[count++] = {spawned_.stderrFd, POLLIN, 0};
  if (count == 0) return false;
  if (poll(fds, count, static_cast<int>(wait.count())) < 0 && errno != EINTR) return true;
  BoundedOutput got(limit);
  if (outOpen_) outOpen_ = ReadAvailable(spawned_.stdoutFd, &got);
  if (errOpen_ && !got.truncated) errOpen_ = ReadAvailable(spawned_.stderrFd, &got);
  sink->append(got.text);
  return outOpen_ || errOpen_;
}

bool ChildProcess::ReapLocked(bool block) {
  if (reaped_) return true;
  pid_t got;
  do {
    got = waitpid(spawned_.pid, &status_, block ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  reaped_ = got == spawned_.pid || (got < 0 && errno == ECHILD);
  return reaped_;
}

bool ChildProcess::Running() {
  std::lock_guard lock(mutex_);
  return !ReapLocked(false);
}

void ChildProcess::Stop() {
  std::lock_guard lock(mutex_);
  if (ReapLocked(false)) return;
  SignalSpawned(spawned_, SIGTERM);
  for (auto waited = std::chrono::milliseconds(0); waited < kStopGrace; waited += kStopCheck) {
    std::this_thread::sleep_for(kStopCheck);
    if (ReapLocked(false)) return;
  }
  SignalSpawned(spawned_, SIGKILL);
  ReapLocked(true);
}

int ChildProcess::exitCode() {
  std::lock_guard lock(mutex_);
  if (!ReapLocked(false) || !WIFEXITED(status_)) return -1;
  return WEXITSTATUS(status_);
}

void ChildProcess::CloseOutput() {
  if (spawned_.stdoutFd >= 0) close(spawned_.stdoutFd);
  if (spawned_.stderrFd >= 0) close(spawned_.stderrFd);
  spawned_ = SpawnedProcess{};
  outOpen_ = errOpen_ = false;
}

}  // namespace salvora
