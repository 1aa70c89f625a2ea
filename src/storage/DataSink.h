#pragma once
// Where a copied file goes: a new file under the user's destination, a
// preview temporary, or the caller's memory buffer. Engines stream a file's
// data into a sink; the sink trims to the file's size, reports progress
// after every piece, and tells the engine when it may stop reading.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/OutputFile.h"
#include "storage/Callbacks.h"

namespace salvora {

class DataSink {
 public:
  virtual ~DataSink() = default;
  // Takes the next piece; bytes beyond the limit are dropped. Returns 0, a
  // write error, or the progress callback's non-zero answer.
  int Write(const void* data, size_t length);
  // Reports an error that ends the copy (once, with percent 100).
  virtual void ReportFailure(int code) = 0;
  // Called once when a copy of nothing (or a complete copy without any
  // write) ends well, so that the file still counts as handled.
  virtual int ReportDone() = 0;
  bool Full() const { return written_ >= limit_; }
  uint64_t Written() const { return written_; }
  uint64_t Limit() const { return limit_; }

 protected:
  explicit DataSink(uint64_t limit) : limit_(limit) {}
  virtual int Store(const void* data, size_t length) = 0;
  virtual int Report(int32_t percent) = 0;
  int32_t Percent() const;

 private:
  uint64_t limit_;
  uint64_t written_ = 0;
};

// A recovered file: created new, never over an existing one.
class RecoverySink final : public DataSink {
 public:
  RecoverySink(uint64_t fileSize, TransferProgressFn callback, void* userData)
      : DataSink(fileSize), callback_(callback), userData_(userData) {}
  int Open(const std::string& path);
  int Close() { return file_.Close(); }
  void ReportFailure(int code) override;
  int ReportDone() override;

 private:
  int Store(const void* data, size_t length) override { return file_.Write(data, length); }
  int Report(int32_t percent) override;
  OutputFile file_;
  std::string path_;
  TransferProgressFn callback_;
  void* userData_;
};

// A preview: a temporary file that replaces any earlier one, or memory.
class PreviewSink final : public DataSink {
 public:
  // With `toMemory`, at most `capacity` bytes land in `memory`; otherwise
  // the data goes to the file given to OpenFile.
  PreviewSink(uint64_t fileSize, bool toMemory, uint8_t* memory, uint32_t capacity,
              ExtractProgressFn callback, void* userData);
  int OpenFile(const std::string& path);
  // Closes the file; deletes it when the copy failed.
  void Finish(int result);
  uint32_t BytesInMemory() const { return toMemory_ ? static_cast<uint32_t>(Written()) : 0; }
  void ReportFailure(int code) override;
  int ReportDone() override;

 private:
  int Store(const void* data, size_t length) override;
  int Report(int32_t percent) override;
  OutputFile file_;
  std::string path_;
  bool toMemory_;
  uint8_t* memory_;
  ExtractProgressFn callback_;
  void* userData_;
};

}  // namespace salvora
