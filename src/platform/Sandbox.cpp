#include "platform/Sandbox.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {
namespace {

bool WriteWholeFile(const char* path, const std::string& text) {
  int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return written;
}

// A user namespace where we keep our own ids, then mount and network ones
// inside it. Root needs no user namespace, and keeps its rights to files of
// other users by not entering one.
bool EnterNamespaces() {
  if (geteuid() == 0 && unshare(CLONE_NEWNS | CLONE_NEWNET) == 0) return true;
  uid_t uid = geteuid();
  gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0) return false;
  return WriteWholeFile("/proc/self/setgroups", "deny") &&
         WriteWholeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
         WriteWholeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
}

// A bind mount made read-only must keep the flags the original mount has,
// or a user namespace may not remount it.
unsigned long KeptMountFlags(const std::string& folder) {
  struct statvfs facts {};
  if (statvfs(folder.c_str(), &facts) != 0) return 0;
  unsigned long flags = 0;
  if (facts.f_flag & ST_NOSUID) flags |= MS_NOSUID;
  if (facts.f_flag & ST_NODEV) flags |= MS_NODEV;
  if (facts.f_flag & ST_NOEXEC) flags |= MS_NOEXEC;
  if (facts.f_flag & ST_NOATIME) flags |= MS_NOATIME;
  if (facts.f_flag & ST_NODIRATIME) flags |= MS_NODIRATIME;
  if (facts.f_flag & ST_RELATIME) flags |= MS_RELATIME;
  return flags;
}

bool MakeReadOnly(const std::string& folder) {
  struct stat facts {};
  if (folder.empty() || stat(folder.c_str(), &facts) != 0 || !S_ISDIR(facts.st_mode)) return true;
  // Mounts made here must not reach the rest of the system.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  unsigned long kept = KeptMountFlags(folder);
  return mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
         mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY | kept,
               nullptr) == 0;
}

#if defined(__x86_64__)
constexpr uint32_t kOwnArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kOwnArchitecture = AUDIT_ARCH_AARCH64;
#endif
// System calls of another ABI (i386, x32) would pass under other numbers.
constexpr uint32_t kForeignCallBit = 0x40000000;

}  // namespace

bool RefuseInternetSockets() {
#if defined(__x86_64__) || defined(__aarch64__)
  sock_filter program[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kOwnArchitecture, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, kForeignCallBit, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 4),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET, 1, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET6, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog filter{static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
#else
  return false;
#endif
}

Confinement ConfineProcess(const std::string& home) {
  Confinement confinement;
  rlimit noCore{0, 0};
  confinement.noCoreDumps = setrlimit(RLIMIT_CORE, &noCore) == 0;
  confinement.namespaces = EnterNamespaces() && MakeReadOnly(home);
  if (!confinement.namespaces) confinement.socketFilter = RefuseInternetSockets();
  return confinement;
}

}  // namespace salvora
