#include "platform/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/ErrorCodes.h"

namespace salvora {

int CreateFolders(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec && !std::filesystem::is_directory(path)) return ErrnoToCode(ec.value(), IoDirection::kWrite);
  return kOk;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

OutputFile::~OutputFile() { Close(); }

int OutputFile::Open(const std::string& path, int flags) {
  Close();
  fd_ = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0644);
  return fd_ < 0 ? ErrnoToCode(errno, IoDirection::kWrite) : kOk;
}

int OutputFile::CreateNew(const std::string& path) {
  return Open(path, O_CREAT | O_EXCL | O_TRUNC | O_NOFOLLOW);
}

int OutputFile::CreateReplacing(const std::string& path) {
  ::unlink(path.c_str());
  return Open(path, O_CREAT | O_EXCL | O_TRUNC | O_NOFOLLOW);
}

int OutputFile::Write(const void* data, size_t length) {
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    ssize_t n = ::write(fd_, bytes, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoToCode(errno, IoDirection::kWrite);
    }
    if (n == 0) return kWriteFault;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return kOk;
}

int OutputFile::Close() {
  if (fd_ < 0) return kOk;
  int result = ::close(fd_) == 0 ? kOk : ErrnoToCode(errno, IoDirection::kWrite);
  fd_ = -1;
  return result;
}

}  // namespace salvora
