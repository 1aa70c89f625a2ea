#include "platform/RandomAccessFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/UdisksOpen.h"

namespace salvora {
namespace {

class PosixFile final : public RandomAccessFile {
 public:
  PosixFile(std::shared_ptr<FileDescriptor> descriptor, uint64_t size, uint32_t sectorSize,
            bool blockDevice)
      : descriptor_(std::move(descriptor)),
        size_(size),
        sectorSize_(sectorSize),
        blockDevice_(blockDevice) {}

  long long ReadAt(void* buffer, size_t length, uint64_t offset) override {
    for (;;) {
      ssize_t n = ::pread(descriptor_->get(), buffer, length, static_cast<off_t>(offset));
      if (n >= 0) return n;
      if (errno != EINTR) return -errno;
    }
  }
  uint64_t Size() const override { return size_; }
  uint32_t LogicalSectorSize() const override { return sectorSize_; }
  bool IsBlockDevice() const override { return blockDevice_; }
  void AdviseSequential() override {
    ::posix_fadvise(descriptor_->get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  }

 private:
  std::shared_ptr<FileDescriptor> descriptor_;
  uint64_t size_;
  uint32_t sectorSize_;
  bool blockDevice_;
};

OpenedFileWrapper& Wrapper() {
  // Never destroyed, for files opened at exit by a reading left to end alone.
  static OpenedFileWrapper& wrapper = *new OpenedFileWrapper;
  return wrapper;
}

std::string OpenFailureText(const std::string& path, int err, bool blockDevice) {
  std::string text = "cannot open " + path + ": " + std::strerror(err);
  if ((err == EACCES || err == EPERM) && blockDevice)
    text += " (reading a raw device needs root or membership of the 'disk' group)";
  return text;
}

bool IsBlockDeviceNode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

// A normal user's raw device comes through udisks2, so the desktop
// application never needs to run as root.
int OpenThroughUdisks(const std::string& path, int err,
                      std::shared_ptr<FileDescriptor>& descriptor, std::string* message) {
  std::string reason;
  descriptor = OpenDeviceThroughUdisks(path, reason);
  if (descriptor) return kOk;
  if (message)
    *message = "cannot open " + path + ": " + std::strerror(err) +
               ", and udisks2 could not open it either (" + reason +
               "). To read this device, run with root rights (for example with sudo) or join "
               "the 'disk' group.";
  return kAccessDenied;
}

int OpenReadOnly(const std::string& path, std::shared_ptr<FileDescriptor>& descriptor,
                 std::string* message) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    descriptor = std::make_shared<FileDescriptor>(fd);
    return kOk;
  }
  int err = errno;
  bool blockDevice = IsBlockDeviceNode(path);
  if ((err == EACCES || err == EPERM) && blockDevice && ::geteuid() != 0)
    return OpenThroughUdisks(path, err, descriptor, message);
  if (message) *message = OpenFailureText(path, err, blockDevice || path.rfind("/dev/", 0) == 0);
  return ErrnoToCode(err);
}

}  // namespace

int OpenRandomAccessFile(const std::string& path, std::unique_ptr<RandomAccessFile>& out,
                         std::string* message) {
  std::shared_ptr<FileDescriptor> descriptor;
  int result = OpenReadOnly(path, descriptor, message);
  if (result != kOk) return result;
  int fd = descriptor->get();
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    if (message) *message = OpenFailureText(path, err, false);
    return ErrnoToCode(err);
  }
  uint64_t size = 0;
  uint32_t sectorSize = 512;
  bool blockDevice = false;
  if (S_ISBLK(st.st_mode)) {
    blockDevice = true;
    if (::ioctl(fd, BLKGETSIZE64, &size) != 0) size = 0;
    int logical = 0;
    if (::ioctl(fd, BLKSSZGET, &logical) == 0 && logical >= 512) sectorSize = logical;
  } else if (S_ISREG(st.st_mode)) {
    size = static_cast<uint64_t>(st.st_size);
  } else {
    if (message) *message = "cannot use " + path + ": it is neither a file nor a block device";
    return kInvalidParameter;
  }
  out = std::make_unique<PosixFile>(std::move(descriptor), size, sectorSize, blockDevice);
  if (Wrapper()) out = Wrapper()(std::move(out));
  return kOk;
}

void SetOpenedFileWrapper(OpenedFileWrapper wrapper) { Wrapper() = std::move(wrapper); }

}  // namespace salvora
