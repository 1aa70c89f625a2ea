#pragma once
// Starting another program with its output in pipes. The preview helper and
// the media players run as separate processes so that hostile file content
// never executes inside the program that holds the user's results; this is
// the one place that forks.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

struct SpawnLimits {
  // RLIMIT_AS of the child in bytes; 0 leaves the inherited limit.
  uint64_t addressSpaceBytes = 0;
  // A child that leads a group of its own is ended with everything it
  // started. A child of the preview helper stays in the helper's group
  // instead, so that ending the helper's group also ends it.
  bool ownProcessGroup = true;
};

// A started child: its process id and the read ends of its stdout and
// stderr pipes (non-blocking, close-on-exec). The caller owns both.
struct SpawnedProcess {
  pid_t pid = -1;
  int stdoutFd = -1;
  int stderrFd = -1;
  bool leadsGroup = true;
};

// Starts `program` (an absolute path, or a name looked up on PATH) with
// `args` (argv[1..]). Standard input is /dev/null. The child leads a process
// group of its own (unless the limits say otherwise), so ending the group by
// the id we hold also ends anything it started. The child is killed when the
// thread that started it ends (the parent-death signal), so nothing outlives
// the program; callers start children from a thread that waits for them or
// lives as long as the program. Returns 0, or the result code of the failed step; a program
// that cannot be executed is reported here, not as an exit status.
int SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                 const SpawnLimits& limits, SpawnedProcess* spawned);

// Output collected from a pipe, kept up to a byte limit. Reading goes on past
// the limit (the excess is dropped) so that a chatty child never blocks on a
// full pipe.
struct BoundedOutput {
  explicit BoundedOutput(size_t limit) : limit(limit) {}
  void Append(const char* data, size_t length);
  std::string text;
  size_t limit;
  bool truncated = false;
};

// Reads what the pipe holds now. Returns false once the writer has closed it
// (end of file or an error other than EAGAIN), true while it may deliver more.
bool ReadAvailable(int fd, BoundedOutput* sink);

// Sends `signal` to the child's process group, or to the child alone when it
// shares its parent's group. Only for a child that has not been reaped yet:
// until then its id cannot name another process.
void SignalSpawned(const SpawnedProcess& child, int signal);

}  // namespace salvora
