#include "platform/ProcessSpawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

struct PipeEnds {
  int read = -1;
  int write = -1;
  bool Open() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    read = ends[0];
    write = ends[1];
    return true;
  }
  void Close() {
    CloseIfOpen(read);
    CloseIfOpen(write);
  }
};

// Runs in the forked child: only async-signal-safe calls until exec. A failure
// is written as its errno into `report`, whose close-on-exec end tells the
// parent that exec succeeded when it reads end of file instead.
[[noreturn]] void ExecChild(const char* program, char* const argv[], const SpawnLimits& limits,
                            pid_t parent, int outFd, int errFd, int report) {
  if (limits.ownProcessGroup) setpgid(0, 0);
  signal(SIGPIPE, SIG_DFL);
  // A parent that died before the signal was armed has left already.
  bool ok = prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == parent;
  int devNull = open("/dev/null", O_RDONLY);
  ok = ok && devNull >= 0 && dup2(devNull, 0) >= 0 && dup2(outFd, 1) >= 0 && dup2(errFd, 2) >= 0;
  if (ok && limits.addressSpaceBytes != 0) {
    rlimit limit{limits.addressSpaceBytes, limits.addressSpaceBytes};
    ok = setrlimit(RLIMIT_AS, &limit) == 0;
  }
  if (ok) execvp(program, argv);
  int err = errno;
  ssize_t ignored = write(report, &err, sizeof err);
  (void)ignored;
  _exit(127);
}

// Reads the exec report of a fresh child: 0 when exec succeeded.
int ReadExecReport(int report) {
  int err = 0;
  ssize_t got;
  do {
    got = read(report, &err, sizeof err);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof err) ? err : 0;
}

}  // namespace

int SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                 const SpawnLimits& limits, SpawnedProcess* spawned) {
  if (program.empty()) return kInvalidParameter;
  // argv is built before the fork: the child may not allocate.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  PipeEnds out, err, report;
  if (!out.Open() || !err.Open() || !report.Open()) {
    int code = ErrnoToCode(errno);
    out.Close();
    err.Close();
    report.Close();
    return code;
  }
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0)
    ExecChild(program.c_str(), argv.data(), limits, parent, out.write, err.write, report.write);
  int forkErrno = errno;
  CloseIfOpen(out.write);
  CloseIfOpen(err.write);
  CloseIfOpen(report.write);
  int execErrno = pid > 0 ? ReadExecReport(report.read) : forkErrno;
  report.Close();
  if (pid > 0 && execErrno != 0) waitpid(pid, nullptr, 0);
  if (pid < 0 || execErrno != 0) {
    out.Close();
    err.Close();
    return ErrnoToCode(execErrno);
  }
  fcntl(out.read, F_SETFL, O_NONBLOCK);
  fcntl(err.read, F_SETFL, O_NONBLOCK);
  spawned->pid = pid;
  spawned->stdoutFd = out.read;
  spawned->stderrFd = err.read;
  spawned->leadsGroup = limits.ownProcessGroup;
  return kOk;
}

void BoundedOutput::Append(const char* data, size_t length) {
  size_t room = text.size() < limit ? limit - text.size() : 0;
  if (length > room) truncated = true;
  text.append(data, length < room ? length : room);
}

bool ReadAvailable(int fd, BoundedOutput* sink) {
  char chunk[4096];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
      sink->Append(chunk, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

void SignalSpawned(const SpawnedProcess& child, int signal) {
  if (child.pid > 0) kill(child.leadsGroup ? -child.pid : child.pid, signal);
}

}  // namespace salvora
