#pragma once
// Positioned reads of a file or block device opened read-only. The interface
// exists so that tests can put a source in place that fails on chosen
// sectors, exactly as a dying disk would.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace salvora {

class RandomAccessFile {
 public:
  virtual ~RandomAccessFile() = default;
  // Reads up to `length` bytes at `offset`. Returns the bytes read (0 at the
  // end), or a negative errno value on failure.
  virtual long long ReadAt(void* buffer, size_t length, uint64_t offset) = 0;
  // Size in bytes of the file or device.
  virtual uint64_t Size() const = 0;
  // Logical sector size of a block device, 512 for a regular file.
  virtual uint32_t LogicalSectorSize() const = 0;
  virtual bool IsBlockDevice() const = 0;
  // Tells the system that the file will be read front to back from here on,
  // so that it reads ahead generously; a hint, without effect on results.
  virtual void AdviseSequential() {}
};

// Opens a regular file or block device read-only. Never writes to it. A
// block device that a normal user may not open is asked of udisks2, which
// may make polkit ask for a password, so this can block for a while. On
// failure returns a result code and, in `message`, a sentence naming the
// device and what is missing (for example the permission to read it).
int OpenRandomAccessFile(const std::string& path, std::unique_ptr<RandomAccessFile>& out,
                         std::string* message = nullptr);

// Wraps every file that OpenRandomAccessFile opens from now on; an empty
// wrapper stops it. Tests put in place of every source an engine opens a
// file that fails reads the way a dying disk does, as SQLite's test file
// system does.
using OpenedFileWrapper =
    std::function<std::unique_ptr<RandomAccessFile>(std::unique_ptr<RandomAccessFile>)>;
void SetOpenedFileWrapper(OpenedFileWrapper wrapper);

}  // namespace salvora
