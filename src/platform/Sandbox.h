#pragma once
// Confinement of the preview helper, the process that decodes hostile
// files: no core dumps, no network, and a home folder it cannot write to.
// Where unprivileged user namespaces are allowed (or for root) it gets
// mount and network namespaces of its own; elsewhere a seccomp filter
// refuses Internet sockets.
#include <string>

namespace salvora {

struct Confinement {
  // Network and mount namespaces of its own: no interface but a down
  // loopback, and `home` mounted read-only.
  bool namespaces = false;
  // Without namespaces: socket(AF_INET/AF_INET6) fails with EACCES.
  bool socketFilter = false;
  // RLIMIT_CORE is 0.
  bool noCoreDumps = false;
};

// The fallback alone: a seccomp filter under which socket() fails with
// EACCES for AF_INET and AF_INET6. False where it cannot be installed.
bool RefuseInternetSockets();

// Confines the calling process for good. Must run before the process
// starts a thread. `home` is the folder made read-only (the user's home);
// an empty or missing folder is left alone.
Confinement ConfineProcess(const std::string& home);

}  // namespace salvora
