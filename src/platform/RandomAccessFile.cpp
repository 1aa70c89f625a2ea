#include "platform/RandomAccessFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

class PosixFile final : public RandomAccessFile {
 public:
  PosixFile(int fd, uint64_t size, uint32_t sectorSize, bool blockDevice)
      : fd_(fd), size_(size), sectorSize_(sectorSize), blockDevice_(blockDevice) {}
  ~PosixFile() override { ::close(fd_); }

  long long ReadAt(void* buffer, size_t length, uint64_t offset) override {
    for (;;) {
      ssize_t n = ::pread(fd_, buffer, length, static_cast<off_t>(offset));
      if (n >= 0) return n;
      if (errno != EINTR) return -errno;
    }
  }
  uint64_t Size() const override { return size_; }
  uint32_t LogicalSectorSize() const override { return sectorSize_; }
  bool IsBlockDevice() const override { return blockDevice_; }
  void AdviseSequential() override { ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); }

 private:
  int fd_;
  uint64_t size_;
  uint32_t sectorSize_;
  bool blockDevice_;
};

OpenedFileWrapper& Wrapper() {
  static OpenedFileWrapper wrapper;
  return wrapper;
}

std::string OpenFailureText(const std::string& path, int err, bool blockDevice) {
  std::string text = "cannot open " + path + ": " + std::strerror(err);
  if ((err == EACCES || err == EPERM) && blockDevice)
    text += " (reading a raw device needs root or membership of the 'disk' group)";
  return text;
}

}  // namespace

int OpenRandomAccessFile(const std::string& path, std::unique_ptr<RandomAccessFile>& out,
                         std::string* message) {
  struct stat st {};
  bool statOk = ::stat(path.c_str(), &st) == 0;
  bool blockDevice = statOk && S_ISBLK(st.st_mode);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    if (message) *message = OpenFailureText(path, err, blockDevice || path.rfind("/dev/", 0) == 0);
    return ErrnoToCode(err);
  }
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    if (message) *message = OpenFailureText(path, err, false);
    return ErrnoToCode(err);
  }
  uint64_t size = 0;
  uint32_t sectorSize = 512;
  if (S_ISBLK(st.st_mode)) {
    blockDevice = true;
    if (::ioctl(fd, BLKGETSIZE64, &size) != 0) size = 0;
    int logical = 0;
    if (::ioctl(fd, BLKSSZGET, &logical) == 0 && logical >= 512) sectorSize = logical;
  } else if (S_ISREG(st.st_mode)) {
    size = static_cast<uint64_t>(st.st_size);
  } else {
    ::close(fd);
    if (message) *message = "cannot use " + path + ": it is neither a file nor a block device";
    return kInvalidParameter;
  }
  out = std::make_unique<PosixFile>(fd, size, sectorSize, blockDevice);
  if (Wrapper()) out = Wrapper()(std::move(out));
  return kOk;
}

void SetOpenedFileWrapper(OpenedFileWrapper wrapper) { Wrapper() = std::move(wrapper); }

}  // namespace salvora
