#pragma once
// Files that recovery and preview write. Recovered files are always new:
// nothing that exists is ever written over.
#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

// Creates a folder with all missing parents; an existing folder is fine.
int CreateFolders(const std::string& path);

bool PathExists(const std::string& path);

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Creates a new file; fails with kAlreadyExists when the path exists.
  int CreateNew(const std::string& path);
  // Deletes whatever is at the path, then creates the file (preview
  // temporaries, image targets).
  int CreateReplacing(const std::string& path);
  // Writes everything or returns the error of the failed write.
  int Write(const void* data, size_t length);
  int Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int Open(const std::string& path, int flags);
  int fd_ = -1;
};

}  // namespace salvora
