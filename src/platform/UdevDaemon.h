#pragma once
// Whether a udev daemon is there to announce devices. Its control socket
// can outlive it (a stopped or crashed daemon leaves the file behind), and a
// monitor of the daemon's announcements would then never hear anything.
#include <string>

namespace salvora {

constexpr char kUdevControlSocket[] = "/run/udev/control";

// True when something accepts connections on the control socket at `path`
// (or it is guarded against this user, as a running daemon's is).
bool UdevDaemonAnswers(const std::string& path = kUdevControlSocket);

}  // namespace salvora
