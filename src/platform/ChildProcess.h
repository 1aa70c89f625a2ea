#pragma once
// A long-running child such as a media player: started, watched through its
// output and ended by the process id we hold, never by its name, so that no
// other program of the same name is touched.
#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ProcessSpawn.h"

namespace salvora {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program; a child this object still holds is stopped first.
  // Returns 0 or the result code of the failed step.
  int Start(const std::string& program, const std::vector<std::string>& args,
            const SpawnLimits& limits = {});

  // Waits up to `wait` for output and appends what arrived on stdout and
  // stderr, at most `limit` bytes per call (the excess is dropped, so the
  // child never blocks on a full pipe while someone reads).
  // Returns false once both pipes have ended, which happens when the child
  // and everything it started have exited.
  bool ReadOutput(std::chrono::milliseconds wait, std::string* sink, size_t limit = 64 * 1024);

  // Whether the child still runs; reaps it once it has ended.
  bool Running();

  // Ends the child's process group: SIGTERM, then SIGKILL when it has not
  // gone after a short grace; reaps it. Safe to call from another thread
  // than the one reading the output, and more than once.
  void Stop();

  pid_t pid() const { return spawned_.pid; }
  // The exit status once the child has exited normally, else -1.
  int exitCode();

 private:
  bool ReapLocked(bool block);
  void CloseOutput();

  std::mutex mutex_;
  SpawnedProcess spawned_;
  bool reaped_ = true;
  int status_ = 0;
  bool outOpen_ = false;
  bool errOpen_ = false;
};

}  // namespace salvora
