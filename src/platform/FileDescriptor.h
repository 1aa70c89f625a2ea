#pragma once
// An open file descriptor that is closed when its last holder lets go.
// Sources on one device can share a single descriptor, which matters when a
// second one cannot be had (udisks2 hands out exclusive descriptors).
#include <unistd.h>

namespace salvora {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace salvora
