#include "platform/UdisksOpen.h"

#include <sys/stat.h>

#include <map>
#include <mutex>

#include "platform/UdisksBus.h"

namespace salvora {
namespace {

// A descriptor from another process is checked like anything else that
// comes from outside: it must be the block device that was asked for.
bool IsDescriptorOfDevice(int fd, dev_t device) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == device;
}

}  // namespace

std::shared_ptr<FileDescriptor> OpenDeviceThroughUdisks(const std::string& devicePath,
                                                        std::string& reason) {
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
    reason = "not a block device";
    return nullptr;
  }
  // Held while a password may be asked for: a second worker wanting the
  // same device waits for the first answer instead of asking again.
  // Never destroyed, for devices opened at exit by a reading left to end alone.
  static std::mutex& mutex = *new std::mutex;
  static auto& held = *new std::map<dev_t, std::weak_ptr<FileDescriptor>>;
  std::lock_guard<std::mutex> lock(mutex);
  if (std::shared_ptr<FileDescriptor> shared = held[st.st_rdev].lock()) return shared;
  int fd = RequestBackupDescriptor(devicePath, reason);
  if (fd < 0) return nullptr;
  auto shared = std::make_shared<FileDescriptor>(fd);
  if (!IsDescriptorOfDevice(fd, st.st_rdev)) {
    reason = "udisks2 handed over a descriptor of another file";
    return nullptr;
  }
  held[st.st_rdev] = shared;
  return shared;
}

}  // namespace salvora
